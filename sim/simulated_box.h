#pragma once
// A simulated DM500 on the master side of a pseudo-terminal: boot ROM, loader and console,
// running on a thread of its own. The tool opens the slave side like a serial adapter.

#include <chrono>
#include <memory>
#include <string>

#include "sim/options.h"
#include "sim/record.h"

namespace sim {

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
