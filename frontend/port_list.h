#pragma once
// The "Detect Port" list: the platform's candidates that open, then any extra names (the
// demo box), each with what the system knows of its adapter.

#include <string>
#include <vector>

#include "serial/port.h"
#include "serial/port_scan.h"

namespace frontend {

struct PortEntry {
  std::string name;         // what the dialogue opens
  std::string description;  // e.g. "FT232R USB UART — FTDI (ftdi_sio)"; empty when unknown
};

// Tries the platform's candidates, then the extra names; the port is closed afterwards.
std::vector<PortEntry> scan_port_list(
    serial::Port& port, const std::vector<std::string>& extra_names = {},
    const std::vector<std::string>& platform_candidates = serial::port_candidates());

}  // namespace frontend
