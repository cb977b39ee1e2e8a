#include "cli/error_noting_port.h"

#include <cerrno>
#include <cstring>

#include "serial/serial_error.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

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

std::string open_failure_hint(const std::string& port, const std::string& error) {
#ifdef _WIN32
  (void)port;
  (void)error;
  return {};
#else
  if (error.find(std::strerror(EACCES)) == std::string::npos) return {};
  struct stat device {};
  const group* owner = stat(port.c_str(), &device) == 0 ? getgrgid(device.st_gid) : nullptr;
  if (owner == nullptr) return "hint: you may not open " + port + "; ask for access to it";
  const std::string name = owner->gr_name;
  return "hint: " + port + " may be opened by the group '" + name +
         "'; join it (sudo usermod -aG " + name + " $USER) and log in again";
#endif
}

}  // namespace cli
