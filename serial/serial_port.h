#pragma once
// The program's one serial port object (the window's ComPort1).

#include <memory>

#include "serial/port.h"

namespace serial {

class SerialPort final : public Port {
 public:
  SerialPort();
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  void set_port(const std::string& name) override;
  std::string port() const override;
  void set_baud_rate(std::uint32_t baud) override;
  std::uint32_t baud_rate() const override;
  void set_stop_bits(StopBits stop_bits) override;
  void set_timeouts(const ReadTimeouts& timeouts) override;
  ReadTimeouts timeouts() const override;

  void open() override;
  void close() override;
  bool is_open() const override;
  void set_dtr(bool on) override;
  void set_rts(bool on) override;

  void write(ByteView bytes) override;
  Bytes read(std::size_t count) override;
  std::size_t bytes_waiting() const override;

  std::string pending_error() const override;
  void set_traffic_observer(TrafficObserver* observer) override;
  void set_write_stall_check(std::function<bool()> keep_waiting) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace serial
