#pragma once
// A serial port whose box is a script: before each read, the next scripted chunk arrives in
// the input queue; the read takes at most count bytes from the queue and leaves the rest,
// as a real port does. Once the script is used up the box is silent.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port.h"
#include "trace.h"

namespace boot_test {

serial::Bytes bytes_of(std::string_view text);

struct ReadRecord {
  std::size_t count;
  serial::ReadTimeouts timeouts;  // in force at the time of the read
  serial::Bytes returned;
};

class ScriptedPort final : public serial::Port {
 public:
  explicit ScriptedPort(Trace& trace) : trace_(trace) {}

  // What arrives before each read, one chunk per read, in order.
  std::deque<serial::Bytes> arrivals;
  // Failure injection: the n-th (0-based) call of that kind throws serial::SerialError.
  std::optional<std::size_t> fail_read_at, fail_write_at;
  bool fail_open = false, fail_dtr = false, fail_close = false;
  // Called after each read / write with its 0-based index, e.g. to press Esc meanwhile.
  std::function<void(std::size_t)> after_read, after_write;
  // Told how long each read waited: its whole total timeout when it came back short.
  std::function<void(std::chrono::milliseconds)> time_passes;
  // A loss the port would report at its next use (a hang-up after bytes had arrived).
  std::string pending;
  // That write stalls: the line takes nothing, so the port asks its stall check until it
  // may give up (or gives up itself after max_stall_checks, as the write timeout would).
  std::optional<std::size_t> stall_write_at;
  static constexpr int max_stall_checks = 1000;
  int stall_checks = 0;

  std::vector<ReadRecord> reads;
  std::vector<serial::Bytes> writes;
  int opens = 0, closes = 0;

  // Every byte written, in order.
  serial::Bytes wire() const;

  void set_port(const std::string& name) override;
  std::string port() const override { return name_; }
  void set_baud_rate(std::uint32_t baud) override;
  std::uint32_t baud_rate() const override { return baud_; }
  void set_stop_bits(serial::StopBits stop_bits) override;
  void set_timeouts(const serial::ReadTimeouts& timeouts) override;
  serial::ReadTimeouts timeouts() const override { return timeouts_; }

  void open() override;
  void close() override;
  bool is_open() const override { return open_; }
  void set_dtr(bool on) override;
  void set_rts(bool on) override;

  void write(serial::ByteView bytes) override;
  serial::Bytes read(std::size_t count) override;
  std::size_t bytes_waiting() const override { return open_ ? input_.size() : 0; }
  std::string pending_error() const override { return pending; }
  void set_write_stall_check(std::function<bool()> keep_waiting) override {
    stall_check_ = std::move(keep_waiting);
  }

 private:
  Trace& trace_;
  std::string name_;
  std::uint32_t baud_ = serial::scan_baud_rate;
  serial::ReadTimeouts timeouts_;
  bool open_ = false;
  serial::Bytes input_;
  std::function<bool()> stall_check_;
};

}  // namespace boot_test
