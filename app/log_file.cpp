#include "app/log_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace app {

namespace {

// Every byte, or false with the file's error. Unbuffered, so that a short write is seen here:
// a buffered QSaveFile can commit a file cut short by a partial write and call it a success.
bool write_all(QSaveFile& file, const QByteArray& bytes) {
  qint64 written = 0;
  while (written < bytes.size()) {
    const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
    if (count <= 0) return false;
    written += count;
  }
  return true;
}

}  // namespace

QString save_log_file(const QByteArray& bytes, const QString& path) {
  QSaveFile file(path);
  QString reason;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !write_all(file, bytes)) {
    reason = file.errorString();
    file.cancelWriting();
  } else if (!file.commit()) {
    reason = file.errorString();
  } else {
    return {};
  }
  const QString full_path = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  return QStringLiteral("Cannot create file \"%1\". %2").arg(full_path, reason);
}

}  // namespace app
