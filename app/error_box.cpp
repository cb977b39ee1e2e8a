#include "app/error_box.h"

#include <QMessageBox>

namespace app {

ErrorBox message_box_over(QWidget* parent) {
  return [parent](const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.exec();
  };
}

}  // namespace app
