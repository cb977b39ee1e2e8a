#pragma once
// What sits behind the port a row's check opens: the simulated box with the row's scenario
// (unpaced: the rows do not depend on line timing), the box that stalls mid-upload, or a
// bare pseudo-terminal for a port that will not open; and the trouble the row makes for it.

#include <cstddef>
#include <memory>
#include <string>

#include "faults.h"
#include "sim/simulated_box.h"
#include "stalling_box.h"

namespace fault_matrix {

class FarEnd {
 public:
  explicit FarEnd(const Fault& fault);
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  const std::string& port() const { return port_; }
  // Bytes the simulated box has sent so far; 0 without one.
  std::size_t box_sent() const;
  // The stalling box has filled the line; true for the others.
  bool stalled() const;

  // The row's port trouble, done where the user would meet it: before pellora-cli starts,
  // or after the window's scan listed the port. A port the user may not open is, for root,
  // a check run as "nobody" (check_runs_unprivileged()); for anyone else, mode 000.
  void make_trouble();
  bool check_runs_unprivileged() const;
  // Lets "nobody" open the port, for a check that runs as that user for another reason.
  void open_to_anyone() const;

 private:
  PortTrouble trouble_;
  std::unique_ptr<sim::SimulatedBox> box_;
  std::unique_ptr<StallingBox> stalling_box_;
  int bare_master_ = -1;
  int holder_ = -1;  // "another program"'s descriptor, locked
  // A device that goes away is reached through a link of its own, as through
  // /dev/serial/by-id/: the pseudo-terminal's number is soon another test's.
  std::string link_folder_;
  std::string port_;
};

}  // namespace fault_matrix
