#include "app/error_box.h"

#include <QMessageBox>
#include <algorithm>

namespace app {

QString error_box_text(const QString& message) {
  if (message.isEmpty() || message.back() <= QLatin1Char('.')) return message;
  return message + QLatin1Char('.');
}

QString error_box_title(const QString& program_file) {
  QString name = program_file;
  const qsizetype folder_end =
      std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
  name = name.mid(folder_end + 1);
  const qsizetype dot = name.indexOf(QLatin1Char('.'));
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}

ErrorBox message_box_over(QWidget* parent) {
  return [parent](const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.exec();
  };
}

}  // namespace app
