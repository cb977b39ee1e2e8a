#pragma once
// A serial port whose far end is a simulated DM500 in the same process: no pseudo-terminal,
// no thread. Each call on the port first runs the box and its line up to the present
// (steady clock), delivering what the box would have sent by then, each byte stamped with
// the time it arrived; so the read rules hold as on a real line, however seldom the tool
// looks. With pacing on, both directions take ten bit times per byte at the port's speed.
//
// It behaves like serial::SerialPort: the Windows read rules, open/close/set_port, settings
// that apply at once to an open port, errors as serial::SerialError. It opens only under its
// own name (every other name fails like a missing device), and starts with that name set.
// The box switches itself on Options::power_on_delay after the port is open at 115200 baud.
// When an unplug scenario's box goes away, the write under way and every read or write
// after it fail like a lost device, and opening fails from then on.
//
// Safe to use from several threads: one lock, released while a read or write waits, so
// another thread may read while one writes, or close the port under a waiting read (which
// then fails like an aborted ReadFile). Options::trace runs under that lock, so it must not
// call the port.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/port.h"
#include "sim/options.h"
#include "sim/record.h"

namespace sim {

class InProcessBoxPort final : public serial::Port {
 public:
  static constexpr const char* default_name = "DEMO";

  // Throws std::invalid_argument for an unknown scenario or banner form.
  explicit InProcessBoxPort(Options options = {}, std::string name = default_name);
  ~InProcessBoxPort() override;
  InProcessBoxPort(const InProcessBoxPort&) = delete;
  InProcessBoxPort& operator=(const InProcessBoxPort&) = delete;

  // The one name this port opens under.
  const std::string& device_name() const;

  void set_port(const std::string& name) override;
  std::string port() const override;
  void set_baud_rate(std::uint32_t baud) override;
  std::uint32_t baud_rate() const override;
  void set_stop_bits(serial::StopBits stop_bits) override;
  void set_timeouts(const serial::ReadTimeouts& timeouts) override;
  serial::ReadTimeouts timeouts() const override;

  void open() override;
  void close() override;
  bool is_open() const override;
  // Accepted while open, as a pseudo-terminal does; the box does not look at them.
  void set_dtr(bool on) override;
  void set_rts(bool on) override;

  // Returns once the box has taken the last byte, at line speed when pacing is on. The box
  // takes every byte, so a write never stalls; the write timeouts (100 ms a byte plus
  // 1000 ms) cut it short only at speeds far below the box's.
  void write(serial::ByteView bytes) override;
  serial::Bytes read(std::size_t count) override;
  std::size_t bytes_waiting() const override;

  // Switches the box on now (it boots from its ROM); does nothing if it is on already.
  void power_on();
  // Switches it off: it goes quiet and forgets where it was.
  void power_off();

  // A copy of everything recorded so far, up to the present.
  Record record() const;
  // Runs the box until the stage is reached (true, also if it was before the call) or the
  // timeout passes (false).
  bool wait_for(Stage stage, std::chrono::milliseconds timeout) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sim
