#include "tests/unit/sim/pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace sim_test {
namespace {

using Clock = std::chrono::steady_clock;

speed_t classic_speed(std::uint32_t baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
  }
  throw std::invalid_argument("no B constant for " + std::to_string(baud));
}

int wait_readable(int fd, Clock::time_point until) {
  const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(std::max<long>(0, left)));
}

}  // namespace

PtyClient::PtyClient(const std::string& path, std::uint32_t baud, SpeedCall call) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "open " + path);
  termios settings{};
  tcgetattr(fd_, &settings);
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  if (call == SpeedCall::classic) cfsetspeed(&settings, classic_speed(baud));
  tcsetattr(fd_, TCSANOW, &settings);
  if (call == SpeedCall::custom) set_custom_speed(fd_, baud);
}

PtyClient::~PtyClient() {
  close();
}

void PtyClient::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PtyClient::write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool PtyClient::write(std::string_view text) {
  return write(bytes_of(text));
}

Bytes PtyClient::read(std::size_t count, milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  Bytes got;
  while (got.size() < count && wait_readable(fd_, until) > 0) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

Bytes PtyClient::read_until_quiet(milliseconds quiet, milliseconds limit) {
  const auto stop = Clock::now() + limit;
  Bytes got;
  while (Clock::now() < stop) {
    Bytes piece = read(4096, quiet);
    if (piece.empty()) break;
    got.insert(got.end(), piece.begin(), piece.end());
  }
  return got;
}

bool PtyClient::read_until(std::string_view text, milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  Bytes got;
  while (!contains(got, text)) {
    const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    Bytes piece = read(1, left);
    if (piece.empty()) return false;
    got.insert(got.end(), piece.begin(), piece.end());
  }
  return true;
}

bool PtyClient::line_gone(milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (wait_readable(fd_, until) > 0) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) return true;
  }
  return false;
}

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::string text_of(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

bool contains(const Bytes& haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

}  // namespace sim_test
