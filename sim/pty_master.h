#pragma once
// The box's end of the wire: the master side of a pseudo-terminal, raw and non-blocking.
// The tool opens the slave side as if it were a serial adapter. The box keeps no slave fd of
// its own: so closing the master really makes the device vanish under the tool (an adapter
// pulled out), and the hang-up the master reports says exactly whether the tool has it open.

#include <cstdint>
#include <string>

namespace sim {

class PtyMaster {
 public:
  // Throws std::system_error naming the call that failed.
  PtyMaster();
  ~PtyMaster();
  PtyMaster(const PtyMaster&) = delete;
  PtyMaster& operator=(const PtyMaster&) = delete;

  int fd() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }
  const std::string& slave_path() const { return slave_path_; }
  // Whether the tool holds the slave open right now. A master reports a hang-up while no
  // slave fd is open; the constructor opens and closes the slave once so that this also
  // holds before the tool's first open.
  bool slave_open() const;
  // The line speed the tool set on the slave (both the classic and the custom-speed
  // calls end up here).
  std::uint32_t line_speed() const;
  // Like pulling the adapter out: the slave path goes away and the tool's fd fails.
  void close();

 private:
  int fd_ = -1;
  std::string slave_path_;
};

// Reads the slave's output speed through the master; in its own file because the
// kernel's termios2 header clashes with <termios.h>.
std::uint32_t read_line_speed(int master_fd);

}  // namespace sim
