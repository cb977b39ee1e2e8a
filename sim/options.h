#pragma once
// What a simulated box is told when it is made, whichever line it sits on: a pseudo-terminal
// (simulated_box.h) or a serial::Port in the same process (in_process_box_port.h).

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Options {
  std::string scenario = "good";  // a name from scenarios()
  char banner_form = 'A';         // 'A' or 'B'
  bool pace = true;               // pace both directions at the line speed
  // Switch on by itself this long after the tool opened its port at 115200 baud;
  // negative: only power_on() switches it on.
  std::chrono::milliseconds power_on_delay{800};
  // How long the boot ROM waits for "dream" before it boots the firmware.
  std::chrono::milliseconds dream_window{1000};
  std::size_t image_size = 43044;
  // How often the booted firmware prints a line of its own.
  std::chrono::milliseconds console_interval{4000};
  // Called with one readable line per event (bytes, stages, frames), on whichever thread
  // runs the box at that moment.
  std::function<void(std::string_view line)> trace;
};

// The fault scenarios, by name, with a one-line description each.
struct ScenarioInfo {
  std::string_view name;
  std::string_view description;
};
const std::vector<ScenarioInfo>& scenarios();
bool is_scenario(std::string_view name);

}  // namespace sim
