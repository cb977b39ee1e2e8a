// The scan behind "Detect Port", the same on every platform: a candidate is listed when it
// opens and takes DTR and RTS.

#include "serial/port_scan.h"

#include <set>

#include "serial/serial_error.h"

namespace serial {

std::vector<std::string> scan_ports(Port& port, const std::vector<std::string>& candidates) {
  std::vector<std::string> listed;
  std::set<std::string> tried;
  for (const std::string& name : candidates) {
    if (!tried.insert(name).second) continue;
    try {
      port.close();
      port.set_baud_rate(scan_baud_rate);
      port.set_port(name);
      port.open();
      port.set_dtr(true);
      port.set_rts(true);
      listed.push_back(name);
    } catch (const SerialError&) {
      port.close();  // not listed
    }
  }
  port.close();
  return listed;
}

}  // namespace serial
