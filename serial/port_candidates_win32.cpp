// Windows names its serial ports COM1, COM2, ...; the window lists COM1 to COM98.

#include <string>
#include <vector>

#include "serial/port_scan.h"

namespace serial {

std::vector<std::string> port_candidates() {
  constexpr int last_port_number = 98;
  std::vector<std::string> names;
  names.reserve(last_port_number);
  for (int number = 1; number <= last_port_number; ++number)
    names.push_back("COM" + std::to_string(number));
  return names;
}

}  // namespace serial
