#pragma once
// A box, played by hand on a pseudo-terminal, that greets, answers "dream" and the start
// command, and then stops taking bytes: the line fills up and the tool's upload blocks in
// its write, as with a box that hangs or a flow-controlled adapter that never lets go.

#include <atomic>
#include <string>
#include <thread>

namespace fault_matrix {

class StallingBox {
 public:
  StallingBox();  // starts playing at once; the banner waits in the line for the tool
  ~StallingBox();
  StallingBox(const StallingBox&) = delete;
  StallingBox& operator=(const StallingBox&) = delete;

  const std::string& port() const { return slave_path_; }
  // The start command has been answered and the line is full.
  bool stalled() const { return stalled_; }

 private:
  void play();
  // Reads from the tool until the bytes have come; false on time-out or when stopping.
  bool await(std::string_view bytes);
  void fill_line();

  int master_ = -1;
  // Opened before the tool opens the port: it keeps the line's queues alive and is how the
  // line is filled (what it writes queues up where the tool's writes go).
  int held_slave_ = -1;
  std::string slave_path_;
  std::atomic<bool> stalled_{false};
  std::atomic<bool> stopping_{false};
  std::thread player_;
};

}  // namespace fault_matrix
