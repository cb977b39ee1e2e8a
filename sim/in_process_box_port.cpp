#include "sim/in_process_box_port.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

#include "serial/serial_device.h"
#include "serial/serial_error.h"
#include "sim/box_line.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;
using serial::SerialError;
using std::chrono::milliseconds;

constexpr std::uint32_t no_interval = 0xFFFFFFFF;  // MAXDWORD
constexpr milliseconds write_timeout_per_byte{100};
constexpr milliseconds write_timeout_constant{1000};
// Unread bytes held for the tool, as much as a pseudo-terminal holds; beyond that the line
// holds the box's bytes back until the tool reads, so nothing is lost.
constexpr std::size_t input_capacity = 4096;
// A long write wakes this often to hand the box what the line carried meanwhile, so an
// unplug and the box's replies are noticed while it lasts.
constexpr milliseconds write_wake_interval{10};
constexpr const char* unplugged_reason = "the simulated box was unplugged";

// A received byte and when it arrived, for the read rules.
struct Arrived {
  std::uint8_t byte;
  SteadyTime at;
};

// The read rules as deadlines. Both totals 0: no total deadline; an interval of 0: none
// between bytes; an interval of MAXDWORD with both totals 0: return at once with what is
// waiting.
struct ReadDeadlines {
  std::optional<SteadyTime> total;
  std::optional<milliseconds> interval;
};

ReadDeadlines read_deadlines(const serial::ReadTimeouts& timeouts, std::size_t count,
                             SteadyTime start) {
  ReadDeadlines deadlines;
  if (timeouts.ReadTotalConstant != 0 || timeouts.ReadTotalMultiplier != 0) {
    deadlines.total = start + milliseconds(timeouts.ReadTotalConstant) +
                      milliseconds(std::uint64_t{timeouts.ReadTotalMultiplier} * count);
  }
  if (timeouts.ReadInterval == no_interval) {
    if (!deadlines.total) deadlines.total = start;
  } else if (timeouts.ReadInterval != 0) {
    deadlines.interval = milliseconds(timeouts.ReadInterval);
  }
  return deadlines;
}

std::optional<SteadyTime> earliest(std::optional<SteadyTime> a, std::optional<SteadyTime> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

struct InProcessBoxPort::Impl {
  Impl(Options options, std::string device)
      : line(std::move(options), Clock::now()), device_name(std::move(device)), name(device_name) {
    line.recorder().note("scenario " + std::string(line.scenario_name()) + ", in-process port " +
                         device_name);
  }

  // Runs the box up to now; what reached the tool's end waits in the input queue.
  void catch_up(SteadyTime now) {
    const std::size_t before = input.size();
    const bool was_unplugged = line.unplugged();
    line.advance(now, deliver);
    if (input.size() != before || line.unplugged() != was_unplugged) changed.notify_all();
  }

  std::optional<std::size_t> take_delivery(std::span<const std::uint8_t> piece, SteadyTime at) {
    const std::size_t taken = std::min(piece.size(), input_capacity - input.size());
    for (std::uint8_t byte : piece.first(taken)) input.push_back({byte, at});
    return taken;
  }

  // Sleeps until wake (for ever without one), or until another call changes something.
  void sleep(std::unique_lock<std::mutex>& lock, std::optional<SteadyTime> wake) {
    if (wake) {
      changed.wait_until(lock, *wake);
    } else {
      changed.wait(lock);
    }
  }

  void open_port() {
    if (open) return;
    if (name != device_name) {
      throw SerialError(name + ": cannot open the port: no such device (the simulated box is " +
                        device_name + ")");
    }
    if (line.unplugged()) {
      throw SerialError(name + ": cannot open the port: no such device (" + unplugged_reason + ")");
    }
    const auto now = Clock::now();
    catch_up(now);  // what the box said while the port was closed is gone
    open = true;
    ++session;
    line.observe_port(true, baud, now);
    changed.notify_all();
  }

  void close_port() {
    if (!open) return;
    const auto now = Clock::now();
    catch_up(now);
    open = false;
    ++session;
    input.clear();
    line.observe_port(false, baud, now);
    changed.notify_all();
  }

  void require_open(const char* what) const {
    if (!open) throw SerialError(name + ": cannot " + what + ": the port is not open");
  }

  [[noreturn]] void fail(const std::string& what, const char* reason) {
    throw SerialError(name + ": " + what + " (" + reason + ")");
  }

  // A device that went away fails every transfer, as a pulled-out adapter does.
  void fail_if_unplugged(const char* failed_text) {
    if (line.unplugged()) fail(failed_text, unplugged_reason);
  }

  // Settings reach a lost device no more than bytes do.
  void require_device(const std::string& what) {
    if (open && line.unplugged()) fail(what, unplugged_reason);
  }

  std::mutex mutex;
  std::condition_variable changed;
  BoxLine line;
  const BoxLine::Deliver deliver = [this](std::span<const std::uint8_t> piece, SteadyTime at) {
    return take_delivery(piece, at);
  };
  const std::string device_name;
  std::string name;
  std::uint32_t baud = serial::scan_baud_rate;
  serial::StopBits stop_bits = serial::StopBits::one;
  serial::ReadTimeouts timeouts = serial::immediate_profile;
  bool open = false;
  std::uint64_t session = 0;  // changes at every open and close, so a waiting call sees them
  std::deque<Arrived> input;
};

InProcessBoxPort::InProcessBoxPort(Options options, std::string name)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(name))) {}

InProcessBoxPort::~InProcessBoxPort() = default;

const std::string& InProcessBoxPort::device_name() const {
  return impl_->device_name;
}

void InProcessBoxPort::set_port(const std::string& name) {
  std::lock_guard lock(impl_->mutex);
  if (name == impl_->name) return;
  const bool was_open = impl_->open;
  impl_->close_port();
  impl_->name = name;
  if (was_open) impl_->open_port();
}

std::string InProcessBoxPort::port() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->name;
}

void InProcessBoxPort::set_baud_rate(std::uint32_t baud) {
  std::lock_guard lock(impl_->mutex);
  if (baud == impl_->baud) return;
  if (baud == 0) throw SerialError(impl_->name + ": 0 is not a baud rate");
  impl_->require_device("cannot set " + std::to_string(baud) + " baud");
  const auto now = Clock::now();
  impl_->catch_up(now);
  impl_->baud = baud;
  if (impl_->open) impl_->line.observe_port(true, baud, now);
  impl_->changed.notify_all();
}

std::uint32_t InProcessBoxPort::baud_rate() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->baud;
}

void InProcessBoxPort::set_stop_bits(serial::StopBits stop_bits) {
  std::lock_guard lock(impl_->mutex);
  if (stop_bits == impl_->stop_bits) return;
  impl_->require_device("cannot apply the line settings");
  impl_->stop_bits = stop_bits;
}

void InProcessBoxPort::set_timeouts(const serial::ReadTimeouts& timeouts) {
  std::lock_guard lock(impl_->mutex);
  impl_->timeouts = timeouts;
}

serial::ReadTimeouts InProcessBoxPort::timeouts() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->timeouts;
}

void InProcessBoxPort::open() {
  std::lock_guard lock(impl_->mutex);
  impl_->open_port();
}

void InProcessBoxPort::close() {
  std::lock_guard lock(impl_->mutex);
  impl_->close_port();
}

bool InProcessBoxPort::is_open() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->open;
}

void InProcessBoxPort::set_dtr(bool /*on*/) {
  std::lock_guard lock(impl_->mutex);
  impl_->require_open("set DTR");
  impl_->require_device("cannot set DTR");
}

void InProcessBoxPort::set_rts(bool /*on*/) {
  std::lock_guard lock(impl_->mutex);
  impl_->require_open("set RTS");
  impl_->require_device("cannot set RTS");
}

void InProcessBoxPort::write(serial::ByteView bytes) {
  Impl& p = *impl_;
  std::unique_lock lock(p.mutex);
  p.require_open("write");
  auto now = Clock::now();
  p.catch_up(now);
  p.fail_if_unplugged(serial::write_failed_text);
  const std::uint64_t session = p.session;
  const SteadyTime deadline =
      now + write_timeout_constant + write_timeout_per_byte * static_cast<long>(bytes.size());

  SteadyTime t = now;  // when the next piece is on the line
  std::size_t done = 0;
  while (done < bytes.size()) {
    // Every piece whose time has come goes to the box at its own time.
    while (done < bytes.size()) {
      const std::size_t left = bytes.size() - done;
      const std::size_t allowed = p.line.receive_allowance(t);
      if (allowed < LinePacer::piece_for(left)) {
        t = p.line.receive_time_for(LinePacer::piece_for(left), t);
        if (t > now) break;
        continue;
      }
      const auto piece = bytes.subspan(done, std::min(left, allowed));
      p.catch_up(t);
      p.line.receive(piece, t);
      done += piece.size();
      p.fail_if_unplugged(serial::write_failed_text);
    }
    if (done == bytes.size() || t > deadline) break;  // cut short by the write timeouts: no error

    const SteadyTime all_sent = p.line.receive_time_for(bytes.size() - done, t);
    p.sleep(lock, std::max(t, std::min(now + write_wake_interval, all_sent)));
    if (p.session != session) p.fail(serial::write_failed_text, "the port was closed meanwhile");
    now = Clock::now();
  }
  p.catch_up(Clock::now());
}

serial::Bytes InProcessBoxPort::read(std::size_t count) {
  Impl& p = *impl_;
  std::unique_lock lock(p.mutex);
  p.require_open("read");
  const auto start = Clock::now();
  p.catch_up(start);
  p.fail_if_unplugged(serial::read_failed_text);
  serial::Bytes got;
  if (count == 0) return got;

  const std::uint64_t session = p.session;
  const ReadDeadlines rules = read_deadlines(p.timeouts, count, start);
  std::optional<SteadyTime> interval_deadline;
  for (auto now = start;;) {
    // Bytes in the order they came; one that came after the read's time ran out is left
    // for the next read.
    while (got.size() < count && !p.input.empty()) {
      const Arrived next = p.input.front();
      if (interval_deadline && next.at > *interval_deadline) break;
      if (rules.total && next.at > *rules.total) break;
      got.push_back(next.byte);
      p.input.pop_front();
      if (rules.interval) interval_deadline = std::max(start, next.at) + *rules.interval;
    }
    if (p.line.delivery_blocked() && p.input.size() < input_capacity) p.line.resume_delivery();
    if (got.size() == count) break;
    const auto deadline = earliest(rules.total, interval_deadline);
    if (deadline && now >= *deadline) break;  // out of time: not an error

    p.sleep(lock, earliest(deadline, p.line.next_event()));
    if (p.session != session) p.fail(serial::read_failed_text, "the port was closed meanwhile");
    now = Clock::now();
    p.catch_up(now);
    p.fail_if_unplugged(serial::read_failed_text);
  }
  return got;
}

std::size_t InProcessBoxPort::bytes_waiting() const {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->open) return 0;
  impl_->catch_up(Clock::now());
  return impl_->line.unplugged() ? 0 : impl_->input.size();
}

void InProcessBoxPort::power_on() {
  std::lock_guard lock(impl_->mutex);
  const auto now = Clock::now();
  impl_->catch_up(now);
  impl_->line.power_on(now);
  impl_->changed.notify_all();
}

void InProcessBoxPort::power_off() {
  std::lock_guard lock(impl_->mutex);
  const auto now = Clock::now();
  impl_->catch_up(now);
  impl_->line.power_off(now);
  impl_->changed.notify_all();
}

Record InProcessBoxPort::record() const {
  std::lock_guard lock(impl_->mutex);
  impl_->catch_up(Clock::now());
  return impl_->line.recorder().copy();
}

bool InProcessBoxPort::wait_for(Stage stage, std::chrono::milliseconds timeout) const {
  Impl& p = *impl_;
  std::unique_lock lock(p.mutex);
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto now = Clock::now();
    p.catch_up(now);
    if (p.line.recorder().reached(stage)) return true;
    if (now >= deadline) return false;
    p.sleep(lock, earliest(deadline, p.line.next_event()));
  }
}

}  // namespace sim
