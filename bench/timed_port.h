#pragma once
// A serial::Port that passes every call on to another and notes when each write began and
// ended, for figures the tool's side of the line shows best (the pace of an upload).

#include <chrono>
#include <vector>

#include "serial/port.h"

namespace bench {

class TimedPort final : public serial::Port {
 public:
  using Clock = std::chrono::steady_clock;
  struct Write {
    Clock::time_point start, end;
    std::size_t bytes;
  };

  explicit TimedPort(serial::Port& port) : port_(port) {}
  const std::vector<Write>& writes() const { return writes_; }

  void set_port(const std::string& name) override { port_.set_port(name); }
  std::string port() const override { return port_.port(); }
  void set_baud_rate(std::uint32_t baud) override { port_.set_baud_rate(baud); }
  std::uint32_t baud_rate() const override { return port_.baud_rate(); }
  void set_stop_bits(serial::StopBits stop_bits) override { port_.set_stop_bits(stop_bits); }
  void set_timeouts(const serial::ReadTimeouts& timeouts) override { port_.set_timeouts(timeouts); }
  serial::ReadTimeouts timeouts() const override { return port_.timeouts(); }
  void open() override { port_.open(); }
  void close() override { port_.close(); }
  bool is_open() const override { return port_.is_open(); }
  void set_dtr(bool on) override { port_.set_dtr(on); }
  void set_rts(bool on) override { port_.set_rts(on); }
  void write(serial::ByteView bytes) override {
    const auto start = Clock::now();
    port_.write(bytes);
    writes_.push_back({start, Clock::now(), bytes.size()});
  }
  serial::Bytes read(std::size_t count) override { return port_.read(count); }
  std::size_t bytes_waiting() const override { return port_.bytes_waiting(); }
  std::string pending_error() const override { return port_.pending_error(); }
  void set_traffic_observer(serial::TrafficObserver* observer) override {
    port_.set_traffic_observer(observer);
  }
  void set_write_stall_check(std::function<bool()> keep_waiting) override {
    port_.set_write_stall_check(std::move(keep_waiting));
  }

 private:
  serial::Port& port_;
  std::vector<Write> writes_;
};

}  // namespace bench
