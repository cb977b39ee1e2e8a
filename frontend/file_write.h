#pragma once
// Writing a whole file the way "Save Log", --log and --report do: a regular file (or a new
// one) is replaced atomically through a temporary file beside it, so a failed write never
// destroys the old one; a symlink is followed to its target; anything else (a device, a
// FIFO) is written through directly, its errors reported.

#include <optional>
#include <string>
#include <string_view>

namespace frontend {

inline constexpr char log_file_name[] = "Log.log";

// The system's reason for the failure, or nothing when every byte was written.
std::optional<std::string> write_file(const std::string& path, std::string_view bytes);

// The window's error text for a failed "Save Log": Cannot create file "<full path>". <reason>
std::string save_log_error_text(const std::string& full_path, std::string_view reason);

}  // namespace frontend
