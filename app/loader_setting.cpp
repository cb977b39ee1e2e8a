#include "app/loader_setting.h"

#include <QSettings>

namespace app {

namespace {

const QString loader_file_key = QStringLiteral("loader/file");

}  // namespace

std::unique_ptr<QSettings> user_settings() {
  // Names given here rather than through the application object, so that --version can
  // read them before there is one.
  return std::make_unique<QSettings>(QStringLiteral("Pellora"), QStringLiteral("pellora"));
}

QString remembered_loader_file(const QSettings& settings) {
  return settings.value(loader_file_key).toString();
}

void remember_loader_file(QSettings& settings, const QString& path) {
  if (path.isEmpty()) {
    settings.remove(loader_file_key);
  } else {
    settings.setValue(loader_file_key, path);
  }
  settings.sync();
}

}  // namespace app
