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
  // A line failure that came after a read's bytes; thrown by the next transfer.
  std::string pending_error;
  TrafficObserver* observer = nullptr;
  std::function<bool()> keep_waiting;

  SerialDevice& open_device(const char* what) {
    if (!device) throw SerialError(name + ": cannot " + what + ": the port is not open");
    return *device;
  }

  // The device for a transfer, after reporting a failure a read kept back.
  SerialDevice& device_for_transfer(const char* what) {
    SerialDevice& open = open_device(what);
    if (!pending_error.empty()) throw SerialError(std::exchange(pending_error, {}));
    return open;
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
  if (impl_->name.empty()) throw SerialError("cannot open the port: no port name given");
  impl_->pending_error.clear();
  impl_->device = open_serial_device(impl_->name, impl_->settings, impl_->read_timeouts);
}

void SerialPort::close() {
  impl_->device.reset();
  impl_->pending_error.clear();
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
  SerialDevice& device = impl_->device_for_transfer("write");
  WriteHooks hooks;
  if (TrafficObserver* observer = impl_->observer)
    hooks.sent = [observer](ByteView piece) { observer->bytes_sent(piece); };
  hooks.keep_waiting = impl_->keep_waiting;
  device.write(bytes, hooks);
}

Bytes SerialPort::read(std::size_t count) {
  ReceivedBytes received = impl_->device_for_transfer("read").read(count);
  impl_->pending_error = std::move(received.line_failure);
  if (impl_->observer && !received.bytes.empty()) impl_->observer->bytes_received(received.bytes);
  return std::move(received.bytes);
}

std::size_t SerialPort::bytes_waiting() const {
  return impl_->device ? impl_->device->bytes_waiting() : 0;
}

std::string SerialPort::pending_error() const {
  return impl_->pending_error;
}

void SerialPort::set_traffic_observer(TrafficObserver* observer) {
  impl_->observer = observer;
}

void SerialPort::set_write_stall_check(std::function<bool()> keep_waiting) {
  impl_->keep_waiting = std::move(keep_waiting);
}

}  // namespace serial
