#pragma once
// --log: the whole log text written to a file, the way "Save Log" writes it.

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// Writes text to a temporary file beside path and renames it over path, so a failed write
// never destroys an old log. Returns what went wrong (the path and the system's reason), or
// nothing on success.
std::optional<std::string> write_log_file(const std::string& path, std::string_view text);

}  // namespace cli
