// The POSIX backend: a tty device through termios, waits through ppoll. termios has no
// notion of the Windows read rules, so read() runs them itself against a monotonic clock,
// with the fd non-blocking and VMIN = VTIME = 0.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "serial/device_users.h"
#include "serial/serial_device.h"
#include "serial/serial_error.h"

#ifdef __linux__
#include <linux/serial.h>

#include "serial/custom_speed_linux.h"
#endif

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t no_interval = 0xFFFFFFFF;  // MAXDWORD
constexpr milliseconds write_timeout_per_byte{100};
constexpr milliseconds write_timeout_constant{1000};

// "system error code: 5: Input/output error"
std::string system_reason(int error) {
  return "system error code: " + std::to_string(error) + ": " +
         std::generic_category().message(error);
}

// "<name>: <what> (system error code: N: reason)"
std::string failure_message(const std::string& name, std::string_view what, int error) {
  return name + ": " + std::string(what) + " (" + system_reason(error) + ")";
}

[[noreturn]] void fail(const std::string& name, std::string_view what, int error,
                       Fault fault = Fault::other) {
  throw SerialError(failure_message(name, what, error), fault);
}

// "; add yourself to the group 'dialout' and log in again", or who alone may open it.
std::string permission_advice_for(const std::string& name) {
  if (const auto node = node_access(name)) return permission_advice(*node);
  return "add yourself to the group that owns the device and log in again";
}

// " (picocom, PID 1234)" when /proc tells which program holds the device, else nothing.
std::string holders_of(const std::string& name) {
  std::string text;
  for (const DeviceHolder& holder : device_holders(name))
    text += (text.empty() ? " (" : "; ") + holder.command + ", PID " + std::to_string(holder.pid);
  return text.empty() ? text : text + ")";
}

[[noreturn]] void fail_open(const std::string& name, int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      fail(name, "cannot open the port: no such device", error, Fault::no_such_device);
    case EACCES:
    case EPERM:
      fail(name, "cannot open the port: permission denied; " + permission_advice_for(name), error,
           Fault::permission_denied);
    case EBUSY:
    case EWOULDBLOCK:
      fail(name, "cannot open the port: it is in use by another program" + holders_of(name), error,
           Fault::in_use);
    case ENOTTY:
      fail(name, "cannot open the port: it is not a serial device", error);
    default:
      fail(name, "cannot open the port", error);
  }
}

std::optional<speed_t> standard_speed(std::uint32_t baud) {
  static constexpr std::pair<std::uint32_t, speed_t> speeds[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},
#ifdef B460800
      {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
      {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
      {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
  };
  for (const auto& [rate, speed] : speeds)
    if (rate == baud) return speed;
  return std::nullopt;
}

// Time left until deadline as a ppoll timeout; null (wait without end) when there is none.
// The kernel lets a poll timeout run late by up to 0.1 % (1.5 ms of a 1.5 s wait), so a long
// wait stops short by that much and a millisecond more; the caller's loop waits the rest.
const timespec* time_left(std::optional<Clock::time_point> deadline, timespec& storage) {
  if (!deadline) return nullptr;
  auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
  if (left > milliseconds(10)) left -= left / 1000 + milliseconds(1);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
  storage.tv_sec = static_cast<time_t>(seconds.count());
  storage.tv_nsec = static_cast<long>(std::chrono::nanoseconds(left - seconds).count());
  return &storage;
}

bool passed(std::optional<Clock::time_point> deadline) {
  return deadline && Clock::now() >= *deadline;
}

std::optional<Clock::time_point> earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

constexpr short hang_up_events = POLLHUP | POLLERR | POLLNVAL;

// Asks keep_waiting each time a write has gone write_stall_check_interval_ms without
// progress; without keep_waiting it never asks.
class StallWatch {
 public:
  explicit StallWatch(const std::function<bool()>& keep_waiting) : keep_waiting_(keep_waiting) {}

  void progressed() { next_check_ = Clock::now() + interval; }
  // When to ask next; nothing when there is nobody to ask.
  std::optional<Clock::time_point> next_check() const {
    if (!keep_waiting_) return std::nullopt;
    return next_check_;
  }
  // True when the stall has lasted an interval and keep_waiting says to stop.
  bool give_up() {
    if (!keep_waiting_ || Clock::now() < next_check_) return false;
    const bool go_on = keep_waiting_();
    progressed();  // the next question comes an interval later
    return !go_on;
  }

 private:
  static constexpr milliseconds interval{write_stall_check_interval_ms};
  const std::function<bool()>& keep_waiting_;
  Clock::time_point next_check_ = Clock::now() + interval;
};

#ifdef __linux__
constexpr int low_latency_flag = static_cast<int>(ASYNC_LOW_LATENCY);

// Linux drivers that buffer received bytes (FTDI's holds them up to 16 ms) hand them on at
// once when asked for low latency. True when this switched it on, false when it was on
// already or the driver has no such setting (a pseudo-terminal); the check still works
// then, only more slowly, so that is no failure.
bool switch_on_low_latency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & low_latency_flag) != 0) return false;
  serial.flags |= low_latency_flag;
  return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

// Leaves the driver as the port found it.
void switch_off_low_latency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags &= ~low_latency_flag;
  ioctl(fd, TIOCSSERIAL, &serial);
}
#else
bool switch_on_low_latency(int) {
  return false;  // no such setting elsewhere
}
void switch_off_low_latency(int) {}
#endif

class PosixDevice final : public SerialDevice {
 public:
  PosixDevice(std::string name, int fd, const ReadTimeouts& timeouts)
      : name_(std::move(name)), fd_(fd), timeouts_(timeouts) {}

  ~PosixDevice() override {
    // Close discards what is unread and unsent, and gives the line up for others.
    tcflush(fd_, TCIOFLUSH);
    if (switched_on_low_latency_) switch_off_low_latency(fd_);
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }

  PosixDevice(const PosixDevice&) = delete;
  PosixDevice& operator=(const PosixDevice&) = delete;

  void ask_for_low_latency() { switched_on_low_latency_ = switch_on_low_latency(fd_); }

  void set_line_settings(const LineSettings& settings) override {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) fail(name_, "cannot read the line settings", errno);
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    // HUPCL: DTR and RTS drop when the port closes, so the box sees the lines only while
    // the port is open.
    tio.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    if (settings.stop_bits == StopBits::two) tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const auto speed = standard_speed(settings.baud_rate);
    if (speed && cfsetspeed(&tio, *speed) != 0)
      fail(name_, "cannot set " + std::to_string(settings.baud_rate) + " baud", errno);
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) fail(name_, "cannot apply the line settings", errno);
    if (!speed) set_nonstandard_speed(settings.baud_rate);
    baud_rate_ = settings.baud_rate;
  }

  void set_timeouts(const ReadTimeouts& timeouts) override { timeouts_ = timeouts; }

  void set_dtr(bool on) override { set_modem_line(TIOCM_DTR, on, "DTR"); }
  void set_rts(bool on) override { set_modem_line(TIOCM_RTS, on, "RTS"); }

  void write(ByteView bytes, const WriteHooks& hooks) override {
    const auto deadline = Clock::now() + write_timeout_constant +
                          write_timeout_per_byte * static_cast<long>(bytes.size());
    StallWatch stall(hooks.keep_waiting);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
      if (n > 0) {
        if (hooks.sent) hooks.sent(bytes.subspan(sent, static_cast<std::size_t>(n)));
        sent += static_cast<std::size_t>(n);
        stall.progressed();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) fail_write(errno);
      // The output queue is full: wait for room, but not past the deadline.
      if (passed(deadline)) return;  // cut short by the write timeout: not an error
      if (stall.give_up()) abandon_write();
      pollfd waiter{fd_, POLLOUT, 0};
      timespec storage{};
      const int ready =
          ppoll(&waiter, 1, time_left(earliest(deadline, stall.next_check()), storage), nullptr);
      if (ready < 0 && errno != EINTR) fail_write(errno);
      if (ready > 0 && (waiter.revents & hang_up_events) && !(waiter.revents & POLLOUT))
        fail_write(EIO);
    }
    drain(deadline, stall);
  }

  ReceivedBytes read(std::size_t count) override {
    Bytes received(count);
    std::size_t size = 0;
    const auto start = Clock::now();

    // Both totals 0 mean no total deadline; an interval of 0 means no interval deadline.
    std::optional<Clock::time_point> total_deadline;
    if (timeouts_.ReadTotalConstant != 0 || timeouts_.ReadTotalMultiplier != 0)
      total_deadline = start + milliseconds(timeouts_.ReadTotalConstant) +
                       milliseconds(std::uint64_t{timeouts_.ReadTotalMultiplier} * count);
    const bool returns_at_once = timeouts_.ReadInterval == no_interval && !total_deadline;
    if (returns_at_once) total_deadline = start;
    std::optional<milliseconds> interval;
    if (timeouts_.ReadInterval != 0 && timeouts_.ReadInterval != no_interval)
      interval = milliseconds(timeouts_.ReadInterval);

    // A failure ends the read; the bytes that came before it are kept (see below).
    int failure = 0;
    std::optional<Clock::time_point> interval_deadline;
    while (size < count) {
      const auto deadline = earliest(total_deadline, interval_deadline);
      pollfd waiter{fd_, POLLIN, 0};
      timespec storage{};
      const int ready = ppoll(&waiter, 1, time_left(deadline, storage), nullptr);
      if (ready < 0) {
        if (errno == EINTR) continue;
        failure = errno;
        break;
      }
      if (ready == 0) {
        if (passed(deadline)) break;  // out of time: not an error
        continue;
      }

      const ssize_t n = ::read(fd_, received.data() + size, count - size);
      if (n > 0) {
        size += static_cast<std::size_t>(n);
        if (interval) interval_deadline = Clock::now() + *interval;
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (passed(deadline)) break;
        continue;
      }
      if (n < 0) {
        failure = errno;
        break;
      }
      // Readable yet nothing to read: the device hung up (unplugged, or the far side of a
      // pseudo-terminal closed). Returning empty here would let a wait loop spin forever.
      if (waiter.revents & hang_up_events) {
        failure = EIO;
        break;
      }
      if (passed(deadline)) break;  // readiness without data must not outlast the deadline
    }
    received.resize(size);
    if (failure == 0) return {std::move(received), {}};
    // With nothing received the failure is this read's own result. Bytes that came before
    // it (a whole reply, then the box switched off) are returned; the port reports the
    // failure at the next transfer.
    const std::string failure_text = failure_message(name_, read_failed_text, failure);
    if (size == 0) throw SerialError(failure_text);
    return {std::move(received), failure_text};
  }

  std::size_t bytes_waiting() const override {
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;  // only feeds a lamp
    return static_cast<std::size_t>(waiting);
  }

 private:
  void set_nonstandard_speed(std::uint32_t baud) {
#ifdef __linux__
    if (const int error = set_custom_speed(fd_, baud); error != 0)
      fail(name_, "cannot set " + std::to_string(baud) + " baud", error);
#else
    fail(name_, "cannot set " + std::to_string(baud) + " baud", EINVAL);
#endif
  }

  void set_modem_line(int line, bool on, std::string_view line_name) {
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return;
    // A pseudo-terminal has no modem-control lines; that is no failure.
    if (errno == ENOTTY || errno == EINVAL) return;
    fail(name_, "cannot set " + std::string(line_name), errno);
  }

  [[noreturn]] void fail_write(int error) {
    fail(name_, write_failed_text, error);
  }

  // What is still queued would go out whenever the line moves again; the user gave it up.
  [[noreturn]] void abandon_write() {
    tcflush(fd_, TCOFLUSH);
    throw WriteAbandoned(name_ + ": the write was abandoned while the line took no bytes");
  }

  // Waits until the line has sent what is queued, but not past the write's deadline:
  // tcdrain has none, and a stalled adapter must not hold the write for ever.
  void drain(Clock::time_point deadline, StallWatch& stall) {
    std::optional<int> last_queued;
    for (;;) {
      int queued = 0;
      if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        if (errno == EINTR) continue;
        if (errno == ENOTTY || errno == EINVAL) return;  // no queue to ask about
        fail_write(errno);
      }
      if (queued <= 0 || passed(deadline)) return;  // a cut-short write is not an error
      if (last_queued && queued < *last_queued) stall.progressed();
      last_queued = queued;
      if (stall.give_up()) abandon_write();
      // About as long as the line needs for what is queued (10 bits a byte), then ask again.
      const auto needed = std::chrono::microseconds(
          std::max<std::int64_t>(1000, std::int64_t{queued} * 10'000'000 / baud_rate_));
      const auto wake = earliest(deadline, stall.next_check());
      const auto remaining = std::chrono::duration_cast<std::chrono::microseconds>(
          std::max(Clock::duration::zero(), *wake - Clock::now()));
      std::this_thread::sleep_for(std::min(needed, remaining));
    }
  }

  std::string name_;
  int fd_;
  std::uint32_t baud_rate_ = scan_baud_rate;
  ReadTimeouts timeouts_;
  bool switched_on_low_latency_ = false;
};

}  // namespace

std::unique_ptr<SerialDevice> open_serial_device(const std::string& name,
                                                 const LineSettings& settings,
                                                 const ReadTimeouts& timeouts) {
  // Non-blocking, so opening never waits for a carrier that a bare adapter never raises.
  const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail_open(name, errno);

  // TIOCEXCL keeps other openers out, except root; flock keeps out root too, as long as it
  // asks. The lock comes first so a refused opener never leaves TIOCEXCL set.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    fail_open(name, error);
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    const int error = errno;
    ::close(fd);
    fail_open(name, error);
  }

  // From here the device closes itself if configuring fails.
  auto device = std::make_unique<PosixDevice>(name, fd, timeouts);
  device->set_line_settings(settings);
  device->ask_for_low_latency();
  return device;
}

}  // namespace serial
