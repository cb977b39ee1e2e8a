#pragma once
// A pseudo-terminal pair for the serial tests: the test holds the master side (raw) and
// plays the far end of the line; the port under test opens the slave path.

#include <termios.h>

#include <chrono>
#include <string>

#include "serial/port.h"

namespace serial::testing {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slave_path() const { return slave_path_; }

  // The far end sends these bytes (all of them, or the test fails).
  void send(ByteView bytes);
  // What the far end receives within the time given; stops early once count arrived.
  Bytes receive(std::size_t count, std::chrono::milliseconds within);
  // The far end goes away, like an adapter pulled out.
  void close_master();

  // A plain, non-exclusive slave descriptor that the test opens before the port does: it
  // keeps the slave's queues alive while the port is closed and lets the test read the
  // line settings the port applied. It never reads.
  void hold_slave();
  termios slave_settings() const;
  // Fills the line from the held slave descriptor until the far end takes no more, even
  // after the kernel has moved what it holds along to the master's side.
  void fill_line();
  int held_slave_fd() const { return held_slave_; }

 private:
  int master_ = -1;
  int held_slave_ = -1;
  std::string slave_path_;
};

// Waits (briefly polling) until the port reports at least count bytes waiting.
bool wait_until_waiting(const Port& port, std::size_t count,
                        std::chrono::milliseconds within = std::chrono::seconds(2));

}  // namespace serial::testing
