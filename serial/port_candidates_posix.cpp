// On POSIX systems the candidates are the tty device nodes that exist now.

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "serial/device_names.h"
#include "serial/port_scan.h"

namespace serial {

std::vector<std::string> port_candidates() {
  std::vector<std::string> names;
  std::error_code error;
  // An unreadable /dev simply offers no candidates; the scan then lists nothing.
  for (std::filesystem::directory_iterator it("/dev", error), end; !error && it != end;
       it.increment(error))
    names.push_back(it->path().filename().string());
  return serial_device_candidates(std::move(names), "/dev");
}

}  // namespace serial
