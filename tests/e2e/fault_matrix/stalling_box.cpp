#include "stalling_box.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

#include "sim/pty_master.h"

namespace fault_matrix {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

const std::string banner(
    "\xE0\x0D"
    "Dreambox D\0M500\x0D",
    18);
const std::string start_command("G4\0\0\0\0\xA8$", 8);

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EAGAIN) {
      std::this_thread::sleep_for(5ms);
      continue;
    }
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

StallingBox::StallingBox() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) fail("posix_openpt");
  slave_path_ = ptsname(master_);
  termios raw{};
  tcgetattr(master_, &raw);
  cfmakeraw(&raw);
  tcsetattr(master_, TCSANOW, &raw);
  fcntl(master_, F_SETFL, O_NONBLOCK);
  held_slave_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (held_slave_ < 0) fail("open the slave");
  player_ = std::thread([this] { play(); });
}

StallingBox::~StallingBox() {
  stopping_ = true;
  player_.join();
  ::close(held_slave_);
  ::close(master_);
}

void StallingBox::play() {
  // Switched on once the check opens the port at the boot speed: a scan opens it at 9600
  // and discards what waits when it closes.
  const auto deadline = Clock::now() + 30s;
  while (sim::read_line_speed(master_) != 115200) {
    if (stopping_ || Clock::now() > deadline) return;
    std::this_thread::sleep_for(10ms);
  }
  write_all(master_, banner);
  if (!await("dream")) return;
  write_all(master_, "ok\n\r");
  if (!await(start_command)) return;
  write_all(master_, "loading instr. file");
  // The tool waits 1650 ms before the upload; the line is full long before that.
  fill_line();
  stalled_ = true;
}

bool StallingBox::await(std::string_view bytes) {
  std::string heard;
  const auto deadline = Clock::now() + 30s;
  while (!stopping_ && Clock::now() < deadline) {
    pollfd readable{master_, POLLIN, 0};
    if (::poll(&readable, 1, 20) <= 0) continue;
    char piece[256];
    const ssize_t n = ::read(master_, piece, sizeof piece);
    if (n > 0) heard.append(piece, static_cast<std::size_t>(n));
    if (heard.find(bytes) != std::string::npos) return true;
  }
  return false;
}

// Writes from the held slave until the line takes no more, also after the kernel has moved
// what it holds along towards the master.
void StallingBox::fill_line() {
  const std::vector<char> filler(4096, 0x55);
  for (bool took_some = true; took_some && !stopping_; std::this_thread::sleep_for(50ms)) {
    took_some = false;
    while (::write(held_slave_, filler.data(), filler.size()) > 0) took_some = true;
  }
}

}  // namespace fault_matrix
