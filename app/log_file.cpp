#include "app/log_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace app {

QString save_log_file(const QByteArray& bytes, const QString& path) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
    return {};
  }
  const QString full_path = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  return QStringLiteral("Cannot create file \"%1\". %2").arg(full_path, file.errorString());
}

}  // namespace app
