#include "cli/log_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cli {
namespace {

std::string failure(const std::string& path, std::string_view reason) {
  return "cannot write the log to \"" + path + "\": " + std::string(reason);
}

}  // namespace

std::optional<std::string> write_log_file(const std::string& path, std::string_view text) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return failure(path, std::strerror(errno));

  const bool written =
      std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  const int close_errno = errno;
  if (!written || !closed) {
    std::remove(temporary.c_str());
    return failure(path, std::strerror(!written ? write_errno : close_errno));
  }

  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    return failure(path, error.message());
  }
  return std::nullopt;
}

}  // namespace cli
