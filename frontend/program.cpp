#include "frontend/program.h"

#include <algorithm>
#include <cctype>

namespace frontend {

std::string version_text(std::string_view program, std::string_view loader_description) {
  return std::string(program) + " " + PELLORA_VERSION + "\n" + std::string(loader_description);
}

std::string error_box_text(std::string_view message) {
  if (message.empty() || message.back() <= '.') return std::string(message);
  return std::string(message) + '.';
}

std::string error_box_title(std::string_view program_file) {
  const auto folder_end = program_file.find_last_of("/\\");
  std::string_view name =
      folder_end == std::string_view::npos ? program_file : program_file.substr(folder_end + 1);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  std::transform(
      title.begin() + std::min<std::ptrdiff_t>(1, static_cast<std::ptrdiff_t>(title.size())),
      title.end(),
      title.begin() + std::min<std::ptrdiff_t>(1, static_cast<std::ptrdiff_t>(title.size())),
      [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return title;
}

}  // namespace frontend
