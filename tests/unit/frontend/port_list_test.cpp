// The "Detect Port" list: what opens, in order, each with what the system knows of it.

#include "frontend/port_list.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "serial/serial_port.h"

namespace frontend {

void PrintTo(const PortEntry& entry, std::ostream* os) {
  *os << '"' << entry.name << "\" \"" << entry.description << '"';
}

namespace {

// The slave side of a pseudo-terminal: a port that opens, with no adapter behind it.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    path_ = ptsname(master_);
  }
  ~Pty() { ::close(master_); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

TEST(PortList, EachPortThatOpensCarriesItsDescription) {
  Pty adapter, pseudo, demo;
  serial::SerialPort port;
  const auto describe = [&](const std::string& name) {
    return name == adapter.path() ? std::string("FT232R USB UART — FTDI (ftdi_sio)")
                                  : std::string();
  };
  const std::vector<PortEntry> entries = scan_port_list(
      port, {demo.path()}, {adapter.path(), "/dev/pellora-absent", pseudo.path()}, describe);
  EXPECT_THAT(entries,
              testing::ElementsAre(PortEntry{adapter.path(), "FT232R USB UART — FTDI (ftdi_sio)"},
                                   PortEntry{pseudo.path(), ""}, PortEntry{demo.path(), ""}));
  EXPECT_FALSE(port.is_open());
}

TEST(PortList, APseudoTerminalHasNoDescriptionFromTheSystem) {
  Pty pseudo;
  serial::SerialPort port;
  const std::vector<PortEntry> entries = scan_port_list(port, {}, {pseudo.path()});
  EXPECT_THAT(entries, testing::ElementsAre(PortEntry{pseudo.path(), ""}));
}

}  // namespace
}  // namespace frontend
