#include "cli/error_noting_port.h"

#include "serial/serial_error.h"

namespace cli {

template <typename Call>
void ErrorNotingPort::noting(Call call) {
  try {
    call();
  } catch (const serial::SerialError& error) {
    last_error_ = error.what();
    throw;
  }
}

void ErrorNotingPort::set_port(const std::string& name) {
  noting([&] { PortDecorator::set_port(name); });
}
void ErrorNotingPort::set_baud_rate(std::uint32_t baud) {
  noting([&] { PortDecorator::set_baud_rate(baud); });
}
void ErrorNotingPort::set_stop_bits(serial::StopBits stop_bits) {
  noting([&] { PortDecorator::set_stop_bits(stop_bits); });
}
void ErrorNotingPort::set_timeouts(const serial::ReadTimeouts& timeouts) {
  noting([&] { PortDecorator::set_timeouts(timeouts); });
}
void ErrorNotingPort::open() {
  noting([&] { PortDecorator::open(); });
}
void ErrorNotingPort::set_dtr(bool on) {
  noting([&] { PortDecorator::set_dtr(on); });
}
void ErrorNotingPort::set_rts(bool on) {
  noting([&] { PortDecorator::set_rts(on); });
}

}  // namespace cli
