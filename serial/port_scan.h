#pragma once

#include <string>
#include <vector>

#include "serial/port.h"

namespace serial {

// The names a user's serial adapter could have on this platform, in the order to list them.
std::vector<std::string> port_candidates();

// Tries each candidate at the scan speed and returns those that opened, each once, in
// candidate order. The port is closed afterwards.
std::vector<std::string> scan_ports(Port& port, const std::vector<std::string>& candidates);

}  // namespace serial
