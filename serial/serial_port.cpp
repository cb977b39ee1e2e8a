// The port object's rules (what changes when, what an open port does with a new setting),
// the same on every platform; the platform's backend does the talking (serial_device.h).

#include "serial/serial_port.h"

#include <utility>

#include "serial/serial_device.h"
#include "serial/serial_error.h"

namespace serial {

struct SerialPort::Impl {
  std::string name = "COM1";
  LineSettings settings;
  ReadTimeouts read_timeouts = immediate_profile;
  std::unique_ptr<SerialDevice> device;  // null while closed

  SerialDevice& open_device(const char* what) {
    if (!device) throw SerialError(name + ": cannot " + what + ": the port is not open");
    return *device;
  }

  void apply_line_settings() {
    if (device) device->set_line_settings(settings);
  }
};

SerialPort::SerialPort() : impl_(std::make_unique<Impl>()) {}
SerialPort::~SerialPort() = default;

void SerialPort::set_port(const std::string& name) {
  if (name == impl_->name) return;
  const bool was_open = is_open();
  close();
  impl_->name = name;
  if (was_open) open();
}

std::string SerialPort::port() const {
  return impl_->name;
}

void SerialPort::set_baud_rate(std::uint32_t baud) {
  if (baud == impl_->settings.baud_rate) return;
  if (baud == 0) throw SerialError(impl_->name + ": 0 is not a baud rate");
  impl_->settings.baud_rate = baud;
  impl_->apply_line_settings();
}

std::uint32_t SerialPort::baud_rate() const {
  return impl_->settings.baud_rate;
}

void SerialPort::set_stop_bits(StopBits stop_bits) {
  if (stop_bits == impl_->settings.stop_bits) return;
  impl_->settings.stop_bits = stop_bits;
  impl_->apply_line_settings();
}

void SerialPort::set_timeouts(const ReadTimeouts& timeouts) {
  if (timeouts == impl_->read_timeouts) return;
  impl_->read_timeouts = timeouts;
  if (impl_->device) impl_->device->set_timeouts(timeouts);
}

ReadTimeouts SerialPort::timeouts() const {
  return impl_->read_timeouts;
}

void SerialPort::open() {
  if (impl_->device) return;
  impl_->device = open_serial_device(impl_->name, impl_->settings, impl_->read_timeouts);
}

void SerialPort::close() {
  impl_->device.reset();
}

bool SerialPort::is_open() const {
  return impl_->device != nullptr;
}

void SerialPort::set_dtr(bool on) {
  impl_->open_device("set DTR").set_dtr(on);
}

void SerialPort::set_rts(bool on) {
  impl_->open_device("set RTS").set_rts(on);
}

void SerialPort::write(ByteView bytes) {
  impl_->open_device("write").write(bytes);
}

Bytes SerialPort::read(std::size_t count) {
  return impl_->open_device("read").read(count);
}

std::size_t SerialPort::bytes_waiting() const {
  return impl_->device ? impl_->device->bytes_waiting() : 0;
}

}  // namespace serial
