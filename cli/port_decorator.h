#pragma once
// A port that hands every call to another one; the wrappers below override what they watch.

#include "serial/port.h"

namespace cli {

class PortDecorator : public serial::Port {
 public:
  explicit PortDecorator(serial::Port& inner) : inner_(inner) {}

  void set_port(const std::string& name) override { inner_.set_port(name); }
  std::string port() const override { return inner_.port(); }
  void set_baud_rate(std::uint32_t baud) override { inner_.set_baud_rate(baud); }
  std::uint32_t baud_rate() const override { return inner_.baud_rate(); }
  void set_stop_bits(serial::StopBits stop_bits) override { inner_.set_stop_bits(stop_bits); }
  void set_timeouts(const serial::ReadTimeouts& timeouts) override {
    inner_.set_timeouts(timeouts);
  }
  serial::ReadTimeouts timeouts() const override { return inner_.timeouts(); }

  void open() override { inner_.open(); }
  void close() override { inner_.close(); }
  bool is_open() const override { return inner_.is_open(); }
  void set_dtr(bool on) override { inner_.set_dtr(on); }
  void set_rts(bool on) override { inner_.set_rts(on); }

  void write(serial::ByteView bytes) override { inner_.write(bytes); }
  serial::Bytes read(std::size_t count) override { return inner_.read(count); }
  std::size_t bytes_waiting() const override { return inner_.bytes_waiting(); }

 protected:
  serial::Port& inner() const { return inner_; }

 private:
  serial::Port& inner_;
};

}  // namespace cli
