#pragma once

#include <stdexcept>
#include <string>

namespace serial {

// What kind of trouble a port is in, for advice beyond the message itself.
enum class Fault {
  other,
  no_such_device,     // the name names no device (unplugged, mistyped)
  permission_denied,  // the user may not open it
  in_use,             // another program holds it
  device_lost,        // it failed while in use (an adapter pulled out)
};

// What went wrong with a port, worded for the user: the device's name, what failed and the
// system's reason.
class SerialError : public std::runtime_error {
 public:
  explicit SerialError(const std::string& message, Fault fault = Fault::other)
      : std::runtime_error(message), fault_(fault) {}
  Fault fault() const { return fault_; }

 private:
  Fault fault_;
};

// A stalled write given up because the user asked to stop (not a fault of the device).
class WriteAbandoned : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace serial
