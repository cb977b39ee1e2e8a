// The port scan on real pseudo-terminals, and the order the candidates are listed in.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "pty_pair.h"
#include "serial/device_names.h"
#include "serial/port_scan.h"
#include "serial/serial_port.h"

namespace serial {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::PtyPair;

TEST(PortScan, ListsWhatOpensInCandidateOrderOnceAndLeavesThePortClosed) {
  PtyPair first, held, last;
  SerialPort other_program;
  other_program.set_port(held.slave_path());
  other_program.open();

  SerialPort port;
  port.set_port(last.slave_path());
  port.set_baud_rate(boot_baud_rate);
  port.open();  // left open by an earlier boot check

  const std::vector<std::string> candidates = {first.slave_path(), "/dev/pellora-absent",
                                               held.slave_path(), last.slave_path(),
                                               first.slave_path()};
  EXPECT_THAT(scan_ports(port, candidates), ElementsAre(first.slave_path(), last.slave_path()));
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.baud_rate(), scan_baud_rate);

  // The scan let go of what it opened.
  SerialPort after;
  after.set_port(first.slave_path());
  EXPECT_NO_THROW(after.open());
}

TEST(PortScan, NothingThatOpensListsNothing) {
  SerialPort port;
  EXPECT_THAT(scan_ports(port, {}), IsEmpty());
  EXPECT_THAT(scan_ports(port, {"/dev/pellora-absent", "/"}), IsEmpty());
  EXPECT_FALSE(port.is_open());
}

TEST(DeviceCandidates, FamiliesInOrderEachInNaturalOrder) {
  const struct {
    const char* name;
    std::vector<std::string> entries;
    std::vector<std::string> expected;
  } cases[] = {
      {"numbers by value",
       {"ttyS10", "ttyS2", "ttyS1", "ttyS0"},
       {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"}},
      {"families grouped",
       {"rfcomm0", "ttyUSB1", "ttyACM0", "ttyS3", "ttyAMA0", "ttyUSB0"},
       {"/dev/ttyS3", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyAMA0",
        "/dev/rfcomm0"}},
      {"other nodes left out",
       {"tty", "tty0", "ttyS", "ttySAC0", "ttyUSB", "ttyUSBx1", "null", "pts", "ttyprintk"},
       {}},
      {"duplicates once", {"ttyUSB12", "ttyUSB12", "ttyUSB3"}, {"/dev/ttyUSB3", "/dev/ttyUSB12"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(serial_device_candidates(c.entries, "/dev"), c.expected) << c.name;
}

TEST(DeviceCandidates, NaturalLess) {
  const struct {
    const char* a;
    const char* b;
    bool less;
  } cases[] = {
      {"ttyS2", "ttyS10", true},     {"ttyS10", "ttyS2", false},  {"ttyS2", "ttyS2", false},
      {"ttyS9", "ttyS10", true},     {"ttyS007", "ttyS10", true}, {"ttyS", "ttyS0", true},
      {"ttyA1b2", "ttyA1b10", true}, {"ttyS1", "ttyS1x", true},   {"ttyS1", "ttyS01", false},
  };
  for (const auto& c : cases) EXPECT_EQ(natural_less(c.a, c.b), c.less) << c.a << " < " << c.b;
}

// The real /dev: whatever it holds, each listed name is an existing node of a family.
TEST(DeviceCandidates, PlatformCandidatesExist) {
  for (const std::string& name : port_candidates()) {
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_EQ(name.rfind("/dev/", 0), 0u) << name;
  }
}

}  // namespace
}  // namespace serial
