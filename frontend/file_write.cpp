#include "frontend/file_write.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#endif

namespace frontend {

std::string save_log_error_text(const std::string& full_path, std::string_view reason) {
  return "Cannot create file \"" + full_path + "\". " + std::string(reason);
}

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

// The system's wording in UTF-8, as every text of the program is: the ANSI code page's
// bytes would not survive the window's conversion, nor a JSON report.
std::string system_reason(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string reason;
  if (length > 0 && buffer != nullptr) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    reason.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), reason.data(), size, nullptr,
                        nullptr);
  }
  LocalFree(buffer);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  return reason.empty() ? "error " + std::to_string(code) : reason;
}

bool write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

std::optional<std::string> write_file(const std::string& path, std::string_view bytes) {
  const std::wstring target = wide(path);
  const std::wstring temporary = target + L".tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return system_reason(GetLastError());
  const bool written = write_all(file, bytes) && FlushFileBuffers(file);
  const DWORD write_error = GetLastError();
  CloseHandle(file);
  if (!written) {
    DeleteFileW(temporary.c_str());
    return system_reason(write_error);
  }
  if (!MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD move_error = GetLastError();
    DeleteFileW(temporary.c_str());
    return system_reason(move_error);
  }
  return std::nullopt;
}

#else

namespace {

namespace fs = std::filesystem;

std::string reason(int error) {
  return std::strerror(error);
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Where a chain of symlinks ends, even when its last target does not exist yet.
std::optional<fs::path> followed(fs::path path, int& error) {
  for (int links = 0; links < 40; ++links) {
    std::error_code status_error;
    const fs::file_status status = fs::symlink_status(path, status_error);
    if (!fs::is_symlink(status)) return path;
    const fs::path target = fs::read_symlink(path, status_error);
    if (status_error) {
      error = status_error.value();
      return std::nullopt;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  error = ELOOP;
  return std::nullopt;
}

// A device or a FIFO: written where it is, as it is. A FIFO nobody reads is an error
// rather than a wait for ever.
std::optional<std::string> write_through(const fs::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return reason(errno == ENXIO ? EPIPE : errno);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const bool written = write_all(fd, bytes);
  const int write_error = errno;
  if (::close(fd) != 0 && written) return reason(errno);
  if (!written) return reason(write_error);
  return std::nullopt;
}

mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// A regular file, or none yet: a temporary file beside it renamed over it, so a failed
// write leaves the old one as it was.
std::optional<std::string> replace_atomically(const fs::path& path, std::string_view bytes,
                                              std::optional<mode_t> old_mode) {
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return reason(errno);
  ::fchmod(fd, old_mode.value_or(new_file_mode()));
  const bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
  const int write_error = errno;
  const bool closed = ::close(fd) == 0;
  const int close_error = errno;
  if (!written || !closed) {
    ::unlink(temporary.c_str());
    return reason(!written ? write_error : close_error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int rename_error = errno;
    ::unlink(temporary.c_str());
    return reason(rename_error);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> write_file(const std::string& path, std::string_view bytes) {
  int error = 0;
  const std::optional<fs::path> target = followed(path, error);
  if (!target) return reason(error);
  struct stat status {};
  if (::stat(target->c_str(), &status) == 0) {
    if (!S_ISREG(status.st_mode)) {
      if (S_ISDIR(status.st_mode)) return reason(EISDIR);
      return write_through(*target, bytes);
    }
    return replace_atomically(*target, bytes, status.st_mode & 07777);
  }
  if (errno != ENOENT) return reason(errno);
  return replace_atomically(*target, bytes, std::nullopt);
}

#endif

}  // namespace frontend
