// The pseudo-terminal around the box's line (box_line.h): one thread that moves bytes
// between the pty master and the line, and tells the line when the tool opens or closes the
// port and at what speed.

#include "sim/simulated_box.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <system_error>
#include <thread>

#include "sim/box_line.h"
#include "sim/pty_master.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Nothing on the master signals that the tool opened the port or changed its speed while
// the line is hung up, so then it is looked at this often.
constexpr milliseconds port_check_interval{20};
constexpr std::size_t read_piece = 4096;

int make_wake_fd() {
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

struct SimulatedBox::Impl {
  explicit Impl(Options options) : line(std::move(options), Clock::now()), wake_fd(make_wake_fd()) {
    line.recorder().note("scenario " + std::string(line.scenario_name()) + ", slave " +
                         master.slave_path());
    thread = std::thread([this] { run(); });
  }

  ~Impl() {
    stopping = true;
    wake();
    thread.join();
    ::close(wake_fd);
  }

  void wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_fd, &one, sizeof one);
  }

  void run();
  void handle_requests(Clock::time_point now);
  void watch_port(Clock::time_point now);
  void receive(Clock::time_point now, bool ignore_pacing);
  std::optional<std::size_t> deliver(std::span<const std::uint8_t> piece);
  void wait(Clock::time_point now);

  BoxLine line;
  PtyMaster master;
  int wake_fd;
  std::thread thread;

  std::atomic<bool> stopping{false};
  std::atomic<bool> power_on_requested{false};
  std::atomic<bool> power_off_requested{false};
};

void SimulatedBox::Impl::run() {
  const BoxLine::Deliver to_master = [this](std::span<const std::uint8_t> piece, SteadyTime) {
    return deliver(piece);
  };
  while (!stopping) {
    const auto now = Clock::now();
    handle_requests(now);
    if (master.is_open()) {
      watch_port(now);
      line.advance(now, to_master);
      if (line.unplugged()) master.close();
    }
    wait(Clock::now());
  }
}

void SimulatedBox::Impl::handle_requests(Clock::time_point now) {
  if (power_off_requested.exchange(false)) line.power_off(now);
  if (power_on_requested.exchange(false)) line.power_on(now);
}

void SimulatedBox::Impl::watch_port(Clock::time_point now) {
  const bool open_now = master.slave_open();
  // What the tool wrote before it closed still arrives.
  if (line.port_open() && !open_now) receive(now, true);
  line.observe_port(open_now, master.line_speed(), now);
}

void SimulatedBox::Impl::receive(Clock::time_point now, bool ignore_pacing) {
  std::uint8_t buffer[read_piece];
  for (;;) {
    std::size_t want = sizeof buffer;
    if (!ignore_pacing) want = std::min(want, line.receive_allowance(now));
    if (want == 0) return;
    const ssize_t got = ::read(master.fd(), buffer, want);
    if (got <= 0) return;  // EAGAIN: nothing waiting; EIO: the slave is closed
    line.receive(std::span(buffer, static_cast<std::size_t>(got)), now);
    if (line.unplugged()) {
      master.close();
      return;
    }
    if (!ignore_pacing) return;
  }
}

std::optional<std::size_t> SimulatedBox::Impl::deliver(std::span<const std::uint8_t> piece) {
  const ssize_t written = ::write(master.fd(), piece.data(), piece.size());
  if (written >= 0) return static_cast<std::size_t>(written);
  if (errno == EAGAIN) return 0;  // the tool is not reading; the line waits until it does
  return std::nullopt;            // the tool closed just now
}

void SimulatedBox::Impl::wait(Clock::time_point now) {
  std::optional<Clock::time_point> deadline;
  auto until = [&deadline](Clock::time_point t) {
    if (!deadline || t < *deadline) deadline = t;
  };

  pollfd fds[2] = {{wake_fd, POLLIN, 0}, {-1, 0, 0}};
  if (master.is_open()) {
    if (auto next = line.next_event()) until(*next);
    if (!line.port_open() || !line.box_powered()) until(now + port_check_interval);

    if (line.port_open()) {
      fds[1].fd = master.fd();
      if (line.receive_allowance(now) >= LinePacer::min_piece) {
        fds[1].events |= POLLIN;
      } else {
        until(line.receive_time_for(LinePacer::min_piece, now));
      }
      if (line.delivery_blocked()) fds[1].events |= POLLOUT;
    }
  }

  timespec timeout{};
  timespec* timeout_ptr = nullptr;
  if (deadline) {
    const auto left = std::max(Clock::duration::zero(), *deadline - now);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    timeout_ptr = &timeout;
  }
  if (::ppoll(fds, 2, timeout_ptr, nullptr) <= 0) return;

  if (fds[0].revents & POLLIN) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(wake_fd, &count, sizeof count);
  }
  if (fds[1].revents & POLLOUT) line.resume_delivery();
  if (fds[1].revents & POLLIN) receive(Clock::now(), false);
  // A hang-up is picked up by watch_port on the next turn.
}

SimulatedBox::SimulatedBox(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

SimulatedBox::~SimulatedBox() = default;

const std::string& SimulatedBox::slave_path() const {
  return impl_->master.slave_path();
}

void SimulatedBox::power_on() {
  impl_->power_on_requested = true;
  impl_->wake();
}

void SimulatedBox::power_off() {
  impl_->power_off_requested = true;
  impl_->wake();
}

Record SimulatedBox::record() const {
  return impl_->line.recorder().copy();
}

bool SimulatedBox::wait_for(Stage stage, std::chrono::milliseconds timeout) const {
  return impl_->line.recorder().wait_for(stage, timeout);
}

}  // namespace sim
