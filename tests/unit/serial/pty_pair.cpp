#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace serial::testing {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) fail("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) fail("grantpt/unlockpt");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) fail("ptsname_r");
  slave_path_ = name;
  termios raw{};
  if (tcgetattr(master_, &raw) != 0) fail("tcgetattr master");
  cfmakeraw(&raw);
  if (tcsetattr(master_, TCSANOW, &raw) != 0) fail("tcsetattr master");
}

PtyPair::~PtyPair() {
  if (held_slave_ >= 0) ::close(held_slave_);
  close_master();
}

void PtyPair::send(ByteView bytes) {
  std::size_t sent = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (sent < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      fail("write master");
    } else if (Clock::now() > deadline) {
      throw std::runtime_error("the pty master could not send in time");
    } else {
      pollfd waiter{master_, POLLOUT, 0};
      poll(&waiter, 1, 10);
    }
  }
}

Bytes PtyPair::receive(std::size_t count, std::chrono::milliseconds within) {
  Bytes received;
  const auto deadline = Clock::now() + within;
  while (received.size() < count) {
    pollfd waiter{master_, POLLIN, 0};
    // With no slave open the master reports POLLHUP; keep waiting for the port to open.
    const int ready = poll(&waiter, 1, std::min(remaining_ms(deadline), 10));
    if (ready > 0 && (waiter.revents & POLLIN)) {
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - received.size()));
      if (n > 0) received.insert(received.end(), buffer, buffer + n);
    }
    if (Clock::now() >= deadline) break;
  }
  return received;
}

void PtyPair::close_master() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPair::hold_slave() {
  held_slave_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (held_slave_ < 0) fail("open slave");
}

termios PtyPair::slave_settings() const {
  termios settings{};
  if (tcgetattr(held_slave_, &settings) != 0) fail("tcgetattr slave");
  return settings;
}

void PtyPair::fill_line() {
  const Bytes filler(4096, 0x55);
  for (bool took_some = true; took_some;
       std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
    took_some = false;
    while (::write(held_slave_, filler.data(), filler.size()) > 0) took_some = true;
    if (errno != EAGAIN) fail("write slave");
  }
}

bool wait_until_waiting(const Port& port, std::size_t count, std::chrono::milliseconds within) {
  const auto deadline = Clock::now() + within;
  while (port.bytes_waiting() < count) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace serial::testing
