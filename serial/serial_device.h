#pragma once
// What a platform backend provides to SerialPort: one open device and the calls on it.
// SerialPort keeps the settings and the open/closed rules; a backend only talks to the
// system. One backend is compiled per platform:
//   serial_port_posix.cpp  (termios + poll)        port_candidates_posix.cpp
//   serial_port_win32.cpp  (CreateFile + COMMTIMEOUTS)  port_candidates_win32.cpp
// port_candidates() itself is declared in port_scan.h.
//
// Every failure throws SerialError, worded for the user: the device's name, what failed,
// and the system's reason (see the texts below).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/port.h"

namespace serial {

// The line settings the program may change; the rest is fixed: 8 data bits, no parity,
// no flow control of any kind, raw binary (every byte 0-255 passes unchanged both ways).
struct LineSettings {
  std::uint32_t baud_rate = scan_baud_rate;  // any positive rate, standard or not
  StopBits stop_bits = StopBits::one;
  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// What a write reports while it runs; either may be empty.
struct WriteHooks {
  std::function<void(ByteView)> sent;
  std::function<bool()> keep_waiting;
};

// The bytes one read brought, and the text of the line's failure when it failed after they
// arrived (empty while the line is well).
struct ReceivedBytes {
  Bytes bytes;
  std::string line_failure;
};

// One open device. Destroying it closes it: unsent output and unread input are discarded,
// then the handle is closed so another program may open the device. Closing never throws.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Apply new values to the open device at once.
  virtual void set_line_settings(const LineSettings& settings) = 0;
  virtual void set_timeouts(const ReadTimeouts& timeouts) = 0;

  // A device without modem-control lines (a pseudo-terminal) accepts these as a no-op;
  // any other failure throws.
  virtual void set_dtr(bool on) = 0;
  virtual void set_rts(bool on) = 0;

  // Sends the bytes in order and returns when they are sent. The write deadline is
  // 100 ms per byte + 1000 ms; a write cut short by it returns without error.
  // Each piece the device takes goes to hooks.sent as it goes. While nothing moves for
  // write_stall_check_interval_ms, hooks.keep_waiting (when set) is asked; false discards
  // the unsent output and throws WriteAbandoned.
  // A failure throws "WriteFile function failed (...)".
  virtual void write(ByteView bytes, const WriteHooks& hooks) = 0;

  // The ReadTimeouts rules (port.h): returns at most count bytes, as soon as count arrived,
  // or when no byte follows the first within ReadInterval, or when
  // ReadTotalConstant + count * ReadTotalMultiplier ms have passed since the call. Never an
  // error for running out of time; bytes beyond count stay queued. A failure, including a
  // device that went away, throws "ReadFile function failed (...)" when no byte has arrived;
  // it never returns an empty read for a dead device. A failure after bytes arrived returns
  // them with the failure's text in line_failure instead, so a complete answer is not lost.
  virtual ReceivedBytes read(std::size_t count) = 0;

  // Received bytes waiting unread.
  virtual std::size_t bytes_waiting() const = 0;
};

// Opens the named device for exclusive use with the given settings and timeouts. Bytes that
// arrive from now on stay queued; opening discards nothing. Does not touch DTR or RTS.
// Where the driver offers it (Linux), asks for low latency while the device is open.
// Throws SerialError when the device does not exist, access is denied, another program
// holds it, it is not a serial device, or it cannot be configured; nothing stays open then.
std::unique_ptr<SerialDevice> open_serial_device(const std::string& name,
                                                 const LineSettings& settings,
                                                 const ReadTimeouts& timeouts);

// Error texts shared by the backends. POSIX: "<name>: ReadFile function failed (system error
// code: 5: Input/output error)". Windows, exactly as users there know it: "ReadFile function
// failed (win error code: 995)".
inline constexpr const char* read_failed_text = "ReadFile function failed";
inline constexpr const char* write_failed_text = "WriteFile function failed";

}  // namespace serial
