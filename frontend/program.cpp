#include "frontend/program.h"

#include <cctype>

namespace frontend {

std::string version_text(std::string_view program, std::string_view loader_description) {
  return std::string(program) + " " + PELLORA_VERSION + "\n" + std::string(loader_description);
}

std::string about_text(std::string_view loader_description, std::string_view help_address) {
  return version_text("pellora", loader_description) +
         "\n\nChecks over a serial line whether a Dreambox DM500 still boots.\n" +
         std::string(help_address);
}

std::string error_box_text(std::string_view message) {
  if (message.empty() || message.back() <= '.') return std::string(message);
  return std::string(message) + '.';
}

std::string error_box_title(std::string_view program_file) {
  const auto folder_end = program_file.find_last_of("/\\");
  if (folder_end != std::string_view::npos) program_file.remove_prefix(folder_end + 1);
  std::string title(program_file.substr(0, program_file.find('.')));
  for (std::size_t i = 1; i < title.size(); ++i) {
    title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
  }
  return title;
}

}  // namespace frontend
