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

}  // namespace serial
