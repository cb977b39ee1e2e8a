#pragma once
// Where the window remembers, between runs, which loader image the user chose.

#include <QString>
#include <memory>

class QSettings;

namespace app {

// The user's own settings for this program. Only the program opens them; the tests give
// the window settings of their own.
std::unique_ptr<QSettings> user_settings();

// The file chosen last time; empty for the built-in image.
QString remembered_loader_file(const QSettings& settings);
// An empty path remembers the built-in image.
void remember_loader_file(QSettings& settings, const QString& path);

}  // namespace app
