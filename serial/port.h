#pragma once
// The serial port as the boot dialogue sees it. SerialPort is the real one; tests put a
// scripted port or a tracing wrapper in its place.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace serial {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Read timeouts in milliseconds, with the Windows meaning: a read returns when count bytes
// arrived, or when after the first byte none follows within ReadInterval, or when
// ReadTotalConstant + count * ReadTotalMultiplier have passed since the call.
struct ReadTimeouts {
  std::uint32_t ReadInterval = 0;
  std::uint32_t ReadTotalConstant = 0;
  std::uint32_t ReadTotalMultiplier = 0;
  friend bool operator==(const ReadTimeouts&, const ReadTimeouts&) = default;
};

// A read returns at once with what is waiting (the Windows meaning of an interval of
// MAXDWORD with both totals 0); a new port starts with it so no read can block forever.
inline constexpr ReadTimeouts immediate_profile{0xFFFFFFFF, 0, 0};
// While waiting for the box to greet: short reads so the window stays responsive.
inline constexpr ReadTimeouts watch_profile{50, 50, 1};
// Once the box talks: long enough for the slowest reply of the boot ROM and loader.
inline constexpr ReadTimeouts dialogue_profile{1500, 1500, 1};

enum class StopBits { one, two };

inline constexpr std::uint32_t scan_baud_rate = 9600;
inline constexpr std::uint32_t boot_baud_rate = 115200;

// Sees the bytes a port sends and receives, as they go (the --trace dump).
class TrafficObserver {
 public:
  virtual ~TrafficObserver() = default;
  // Each piece of a write as the driver takes it, in order; a write cut short or abandoned
  // shows only what was taken. (An abandoned write also discards what the driver had taken
  // but not yet put on the line; that part was shown already.)
  virtual void bytes_sent(ByteView bytes) = 0;
  // What a read returns, when it returns any.
  virtual void bytes_received(ByteView bytes) = 0;
};

// How often a stalled write asks whether to go on waiting.
inline constexpr std::uint32_t write_stall_check_interval_ms = 100;

// Failures throw serial::SerialError (serial_error.h).
class Port {
 public:
  virtual ~Port() = default;

  // A new name on an open port closes it and opens the new one.
  virtual void set_port(const std::string& name) = 0;
  virtual std::string port() const = 0;
  // Settings changed on an open port apply at once; an unchanged value changes nothing.
  virtual void set_baud_rate(std::uint32_t baud) = 0;
  virtual std::uint32_t baud_rate() const = 0;
  virtual void set_stop_bits(StopBits stop_bits) = 0;
  virtual void set_timeouts(const ReadTimeouts& timeouts) = 0;
  virtual ReadTimeouts timeouts() const = 0;

  // Opening an open port and closing a closed one do nothing.
  virtual void open() = 0;
  virtual void close() = 0;
  virtual bool is_open() const = 0;
  virtual void set_dtr(bool on) = 0;
  virtual void set_rts(bool on) = 0;

  // Returns when every byte has been sent (or the write timeouts cut it short).
  virtual void write(ByteView bytes) = 0;
  // At most count bytes, possibly none, by the ReadTimeouts rules; running out of time is
  // not an error. Bytes beyond count stay queued.
  virtual Bytes read(std::size_t count) = 0;
  // Received bytes waiting unread, for the receive lamp; 0 when closed.
  virtual std::size_t bytes_waiting() const = 0;

  // A read that returned bytes when the line hung up keeps the loss for the next use of the
  // port; this is that loss's text while nothing has reported it yet, else empty.
  virtual std::string pending_error() const { return {}; }

  // nullptr: nobody watches.
  virtual void set_traffic_observer(TrafficObserver* observer) { (void)observer; }

  // While a write makes no progress (the line takes no bytes), keep_waiting is asked about
  // every write_stall_check_interval_ms; false ends the write with serial::WriteAbandoned.
  // An empty function waits out the write timeouts.
  virtual void set_write_stall_check(std::function<bool()> keep_waiting) { (void)keep_waiting; }
};

}  // namespace serial
