#pragma once
// One ordered record of what the dialogue did to its port, panel and clock.

#include <string>
#include <string_view>
#include <vector>

namespace boot_test {

struct Trace {
  std::vector<std::string> events;

  void add(std::string event) { events.push_back(std::move(event)); }
  // The events that start with any of the prefixes, in order.
  std::vector<std::string> only(std::initializer_list<std::string_view> prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& event : events) {
      for (const std::string_view prefix : prefixes) {
        if (event.starts_with(prefix)) {
          kept.push_back(event);
          break;
        }
      }
    }
    return kept;
  }
};

}  // namespace boot_test
