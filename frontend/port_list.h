#pragma once
// The "Detect Port" list: the platform's candidates that open, then any extra names (the
// demo box), each with what the system knows of its adapter.

#include <functional>
#include <string>
#include <vector>

#include "serial/port.h"
#include "serial/port_scan.h"

namespace frontend {

struct PortEntry {
  std::string name;         // what the dialogue opens
  std::string description;  // e.g. "FT232R USB UART — FTDI (ftdi_sio)"; empty when unknown
  friend bool operator==(const PortEntry&, const PortEntry&) = default;
};

// What the system knows of the adapter behind a name; serial::describe_port by default.
using PortDescriber = std::function<std::string(const std::string& name)>;

// Tries the platform's candidates, then the extra names; the port is closed afterwards.
// Each port that opened is described (nothing for a pseudo-terminal or the demo box).
std::vector<PortEntry> scan_port_list(
    serial::Port& port, const std::vector<std::string>& extra_names = {},
    const std::vector<std::string>& platform_candidates = serial::port_candidates(),
    const PortDescriber& describe = serial::describe_port);

}  // namespace frontend
