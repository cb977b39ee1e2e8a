#include "frontend/port_list.h"

namespace frontend {

std::vector<PortEntry> scan_port_list(serial::Port& port,
                                      const std::vector<std::string>& extra_names,
                                      const std::vector<std::string>& platform_candidates,
                                      const PortDescriber& describe) {
  std::vector<std::string> candidates = platform_candidates;
  candidates.insert(candidates.end(), extra_names.begin(), extra_names.end());
  std::vector<PortEntry> entries;
  for (std::string& name : serial::scan_ports(port, candidates)) {
    std::string description = describe ? describe(name) : std::string();
    entries.push_back({std::move(name), std::move(description)});
  }
  return entries;
}

}  // namespace frontend
