#include "sim/pty_master.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace sim {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), std::string("pseudo-terminal: ") + what);
}

}  // namespace

PtyMaster::PtyMaster() {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) fail("posix_openpt");
  try {
    if (grantpt(fd_) != 0) fail("grantpt");
    if (unlockpt(fd_) != 0) fail("unlockpt");
    char name[128];
    if (ptsname_r(fd_, name, sizeof name) != 0) fail("ptsname");
    slave_path_ = name;

    // The master's termios calls reach the shared line settings: start raw, so nothing is
    // echoed or translated before the tool sets its own.
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) fail("tcsetattr");

    const int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl O_NONBLOCK");

    // Until a slave has been opened once the master reports no hang-up; open and close it
    // now so that "no hang-up" always means "the tool has it open".
    const int slave = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) fail(("open " + slave_path_).c_str());
    ::close(slave);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

PtyMaster::~PtyMaster() {
  close();
}

bool PtyMaster::slave_open() const {
  if (fd_ < 0) return false;
  pollfd poll_fd{fd_, 0, 0};
  if (::poll(&poll_fd, 1, 0) < 0) return false;
  return (poll_fd.revents & POLLHUP) == 0;
}

std::uint32_t PtyMaster::line_speed() const {
  return fd_ < 0 ? 0 : read_line_speed(fd_);
}

void PtyMaster::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace sim
