#pragma once
// A simulated DM500 on the master side of a pseudo-terminal: boot ROM, loader and console,
// running on a thread of its own. The tool opens the slave side like a serial adapter.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/record.h"

namespace sim {

struct Options {
  std::string scenario = "good";  // a name from scenarios()
  char banner_form = 'A';         // 'A' or 'B'
  bool pace = true;               // pace both directions at the line speed
  // Switch on by itself this long after the tool opened the slave at 115200 baud;
  // negative: only power_on() switches it on.
  std::chrono::milliseconds power_on_delay{800};
  // How long the boot ROM waits for "dream" before it boots the firmware.
  std::chrono::milliseconds dream_window{1000};
  std::size_t image_size = 43044;
  // How often the booted firmware prints a line of its own.
  std::chrono::milliseconds console_interval{4000};
  // Called on the box's thread with one readable line per event (bytes, stages, frames).
  std::function<void(std::string_view line)> trace;
};

// The fault scenarios, by name, with a one-line description each.
struct ScenarioInfo {
  std::string_view name;
  std::string_view description;
};
const std::vector<ScenarioInfo>& scenarios();
bool is_scenario(std::string_view name);

class SimulatedBox {
 public:
  // Throws std::invalid_argument for an unknown scenario or banner form, and
  // std::system_error when no pseudo-terminal can be had.
  explicit SimulatedBox(Options options = {});
  ~SimulatedBox();  // stops the thread, closes the master
  SimulatedBox(const SimulatedBox&) = delete;
  SimulatedBox& operator=(const SimulatedBox&) = delete;

  // The path the tool opens, e.g. /dev/pts/7.
  const std::string& slave_path() const;
  // Switches the box on (it boots from its ROM); does nothing if it is on already.
  void power_on();
  // Switches it off: it goes quiet and forgets where it was.
  void power_off();

  // A copy of everything recorded so far; safe from any thread. Bytes the box sends are
  // recorded just after they were written, so the tool can hold them a moment before the
  // record shows them: wait_for() the stage they carry before looking.
  Record record() const;
  // True as soon as the stage has been reached (also if it was before the call), false
  // when the timeout passes first.
  bool wait_for(Stage stage, std::chrono::milliseconds timeout) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sim
