#include "app/help_page.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString help_page_path(const QString& program_dir) {
  const QDir dir(program_dir);
  const QString beside = dir.absoluteFilePath(QStringLiteral("help/index.html"));
  const QString installed =
      QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/pellora/help/index.html")));
  if (QFileInfo::exists(beside)) return beside;
  return installed;
}

QUrl help_page_url(const QString& program_dir) {
  return QUrl::fromLocalFile(help_page_path(program_dir));
}

}  // namespace app
