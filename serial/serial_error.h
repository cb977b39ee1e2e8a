#pragma once

#include <stdexcept>
#include <string>

namespace serial {

// What went wrong with a port, worded for the user: the device's name, what failed and the
// system's reason.
class SerialError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A stalled write given up because the user asked to stop (not a fault of the device).
class WriteAbandoned : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace serial
