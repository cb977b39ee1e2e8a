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

// What the system knows of the adapter behind a port name, for a person choosing a port:
// "FT232R USB UART — FTDI (ftdi_sio), serial A50285BI", "built-in serial port" (Linux), or
// the device's friendly name, "USB Serial Port (COM3)" (Windows). Empty when the system
// knows nothing (a pseudo-terminal, a name that is no device). Opens nothing.
std::string describe_port(const std::string& name);

}  // namespace serial
