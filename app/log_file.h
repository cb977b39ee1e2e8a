#pragma once
// "Save Log": the log's bytes into a file.

#include <QByteArray>
#include <QString>

namespace app {

inline constexpr char log_file_name[] = "Log.log";

// Writes bytes to path, replacing the file there without asking. The bytes go to a temporary
// file beside it that is then renamed over it, so a failed save leaves the old file as it was.
// Returns the error's message, or an empty text when the file was written.
QString save_log_file(const QByteArray& bytes, const QString& path);

}  // namespace app
