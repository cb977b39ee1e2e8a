#pragma once
// A port with no device behind it: named devices open, others fail like a missing one. Reads
// return nothing. Enough for the window's own behaviour; the dialogue's is tested elsewhere.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "serial/port.h"

class FakePort final : public serial::Port {
 public:
  explicit FakePort(std::set<std::string> openable = {}) : openable_(std::move(openable)) {}

  // Called inside every open, before it succeeds or fails (a scan opens each candidate).
  std::function<void(const std::string& name)> on_open;
  std::vector<std::string> opened;  // every successful open, in order
  std::size_t waiting = 0;          // what bytes_waiting() reports while open
  // bytes_waiting() asked of a closed port (a lost device would fail it; nobody should ask).
  mutable int asked_while_closed = 0;

  void set_port(const std::string& name) override;
  std::string port() const override { return name_; }
  void set_baud_rate(std::uint32_t baud) override { baud_ = baud; }
  std::uint32_t baud_rate() const override { return baud_; }
  void set_stop_bits(serial::StopBits) override {}
  void set_timeouts(const serial::ReadTimeouts& timeouts) override { timeouts_ = timeouts; }
  serial::ReadTimeouts timeouts() const override { return timeouts_; }
  void open() override;
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  void set_dtr(bool) override {}
  void set_rts(bool) override {}
  void write(serial::ByteView) override {}
  serial::Bytes read(std::size_t) override { return {}; }
  std::size_t bytes_waiting() const override {
    if (!open_) ++asked_while_closed;
    return open_ ? waiting : 0;
  }

 private:
  std::set<std::string> openable_;
  std::string name_ = "COM1";
  std::uint32_t baud_ = serial::scan_baud_rate;
  serial::ReadTimeouts timeouts_;
  bool open_ = false;
};
