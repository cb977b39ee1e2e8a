// The line between the tool and the box: one thread that moves bytes between the pty master
// and the Box, at line speed when pacing is on, and switches the box on when the tool opens
// the port at the boot speed.

#include "sim/simulated_box.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "sim/box.h"
#include "sim/line_pacer.h"
#include "sim/pty_master.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t box_baud = 115200;
// Nothing on the master signals that the tool opened the port or changed its speed while
// the line is hung up, so then it is looked at this often.
constexpr milliseconds port_check_interval{20};
constexpr std::size_t read_piece = 4096;

const Scenario& scenario_for(const Options& options) {
  const Scenario* scenario = find_scenario(options.scenario);
  if (!scenario) throw std::invalid_argument("unknown scenario \"" + options.scenario + "\"");
  if (options.banner_form != 'A' && options.banner_form != 'B') {
    throw std::invalid_argument("banner form must be A or B");
  }
  return *scenario;
}

int make_wake_fd() {
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

struct SimulatedBox::Impl {
  explicit Impl(Options opts)
      : options(std::move(opts)),
        scenario(scenario_for(options)),
        recorder(Clock::now(), options.trace),
        box(options, scenario.tweaks, recorder),
        receive_pacer(options.pace, box_baud),
        send_pacer(options.pace, box_baud),
        wake_fd(make_wake_fd()) {
    recorder.note("scenario " + std::string(scenario.name) + ", slave " + master.slave_path());
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
  void transmit(Clock::time_point now);
  void wait(Clock::time_point now);
  void unplug();

  Options options;
  const Scenario& scenario;
  Recorder recorder;
  PtyMaster master;
  Box box;
  LinePacer receive_pacer;
  LinePacer send_pacer;
  int wake_fd;
  std::thread thread;

  std::atomic<bool> stopping{false};
  std::atomic<bool> power_on_requested{false};
  std::atomic<bool> power_off_requested{false};

  // Owned by the thread.
  bool slave_open = false;
  bool auto_power_armed = true;
  std::optional<Clock::time_point> boot_speed_since;
  std::optional<Transmission> sending;
  std::size_t sending_done = 0;
  Clock::time_point sending_not_before{};
  bool send_buffer_full = false;
};

void SimulatedBox::Impl::run() {
  while (!stopping) {
    const auto now = Clock::now();
    handle_requests(now);
    if (master.is_open()) {
      watch_port(now);
      box.tick(now);
      transmit(now);
      if (box.wants_unplug()) unplug();
    }
    wait(Clock::now());
  }
}

void SimulatedBox::Impl::handle_requests(Clock::time_point now) {
  if (power_off_requested.exchange(false)) {
    box.power_off();
    sending.reset();
    auto_power_armed = false;  // until the tool opens the port again
  }
  if (power_on_requested.exchange(false)) box.power_on(now);
}

void SimulatedBox::Impl::watch_port(Clock::time_point now) {
  const bool open_now = master.slave_open();
  if (open_now != slave_open) {
    if (open_now) {
      recorder.note("port opened at " + std::to_string(master.line_speed()) + " baud");
      auto_power_armed = true;
    } else {
      receive(now, true);  // what the tool wrote before it closed still arrives
      recorder.note("port closed");
      send_buffer_full = false;
    }
    slave_open = open_now;
  }

  const bool may_switch_on =
      !box.powered() && auto_power_armed && options.power_on_delay.count() >= 0 && slave_open;
  if (!may_switch_on || master.line_speed() != box_baud) {
    boot_speed_since.reset();
    return;
  }
  if (!boot_speed_since) boot_speed_since = now;
  if (now - *boot_speed_since >= options.power_on_delay) box.power_on(now);
}

void SimulatedBox::Impl::receive(Clock::time_point now, bool ignore_pacing) {
  std::uint8_t buffer[read_piece];
  for (;;) {
    std::size_t want = sizeof buffer;
    if (!ignore_pacing) want = std::min(want, receive_pacer.allowance(now));
    if (want == 0) return;
    const ssize_t got = ::read(master.fd(), buffer, want);
    if (got <= 0) return;  // EAGAIN: nothing waiting; EIO: the slave is closed
    const auto bytes = std::span(buffer, static_cast<std::size_t>(got));
    recorder.chunk(Chunk::Direction::received, bytes);
    receive_pacer.passed(bytes.size(), now);
    box.received(bytes, now);
    if (box.wants_unplug() || !ignore_pacing) return;
  }
}

void SimulatedBox::Impl::transmit(Clock::time_point now) {
  for (;;) {
    if (!sending) {
      if (box.outbox().empty()) return;
      sending = std::move(box.outbox().front());
      box.outbox().pop_front();
      sending_done = 0;
      sending_not_before = now + sending->pause_before;
    }
    if (now < sending_not_before || send_buffer_full) return;
    const auto rest = std::span(sending->bytes).subspan(sending_done);
    const std::size_t allowed = send_pacer.allowance(now);
    if (allowed < LinePacer::piece_for(rest.size())) return;

    const auto piece = rest.first(std::min(rest.size(), allowed));
    std::size_t went = piece.size();
    if (slave_open) {
      const ssize_t written = ::write(master.fd(), piece.data(), piece.size());
      if (written < 0 && errno == EAGAIN) {
        send_buffer_full = true;  // the tool is not reading; wait until it does
        return;
      }
      if (written < 0) {
        recorder.chunk(Chunk::Direction::lost, piece);  // the tool closed just now
      } else {
        went = static_cast<std::size_t>(written);
        recorder.chunk(Chunk::Direction::sent, piece.first(went));
      }
    } else {
      // A real line carries the bytes all the same; with the port closed nobody hears them.
      recorder.chunk(Chunk::Direction::lost, piece);
    }
    send_pacer.passed(went, now);
    sending_done += went;
    if (sending_done < sending->bytes.size()) continue;

    const std::optional<Stage> stage = sending->stage_when_sent;
    sending.reset();
    if (stage) box.transmitted(*stage, now);
  }
}

void SimulatedBox::Impl::wait(Clock::time_point now) {
  std::optional<Clock::time_point> deadline;
  auto until = [&deadline](Clock::time_point t) {
    if (!deadline || t < *deadline) deadline = t;
  };

  pollfd fds[2] = {{wake_fd, POLLIN, 0}, {-1, 0, 0}};
  if (master.is_open()) {
    if (auto timer = box.next_timer()) until(*timer);
    if (sending || !box.outbox().empty()) {
      if (!sending) {
        until(now);  // a new piece is waiting to start
      } else if (now < sending_not_before) {
        until(sending_not_before);
      } else if (!send_buffer_full) {
        const std::size_t left = sending->bytes.size() - sending_done;
        until(send_pacer.time_for(LinePacer::piece_for(left), now));
      }
    }
    if (!slave_open || !box.powered()) until(now + port_check_interval);
    if (boot_speed_since) until(*boot_speed_since + options.power_on_delay);

    if (slave_open) {
      fds[1].fd = master.fd();
      if (receive_pacer.allowance(now) >= LinePacer::min_piece) {
        fds[1].events |= POLLIN;
      } else {
        until(receive_pacer.time_for(LinePacer::min_piece, now));
      }
      if (send_buffer_full) fds[1].events |= POLLOUT;
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
  if (fds[1].revents & POLLOUT) send_buffer_full = false;
  if (fds[1].revents & POLLIN) receive(Clock::now(), false);
  // A hang-up is picked up by watch_port on the next turn.
}

void SimulatedBox::Impl::unplug() {
  recorder.stage(Stage::unplugged);
  master.close();
  slave_open = false;
  sending.reset();
  box.outbox().clear();
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
  return impl_->recorder.copy();
}

bool SimulatedBox::wait_for(Stage stage, std::chrono::milliseconds timeout) const {
  return impl_->recorder.wait_for(stage, timeout);
}

}  // namespace sim
