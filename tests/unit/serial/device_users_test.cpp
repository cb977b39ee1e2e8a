// What an open refused for access or for a busy device tells the user.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "pty_pair.h"
#include "serial/device_users.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"

namespace serial {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

struct AdviceCase {
  const char* name;
  NodeAccess node;
  const char* advice;
};

void PrintTo(const AdviceCase& c, std::ostream* out) {
  *out << c.name;
}

class PermissionAdvice : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(PermissionAdvice, OnlyAdvisesAGroupThatMayReadAndWrite) {
  EXPECT_EQ(permission_advice(GetParam().node), GetParam().advice);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, PermissionAdvice,
    ::testing::Values(
        AdviceCase{"serial_adapter",
                   {"root", "dialout", 0660},
                   "add yourself to the group 'dialout' and log in again"},
        AdviceCase{"pseudo_terminal",
                   {"root", "tty", 0620},
                   "only root may open it (owner root, group tty, mode 0620)"},
        AdviceCase{"group_reads_only",
                   {"root", "uucp", 0640},
                   "only root may open it (owner root, group uucp, mode 0640)"},
        AdviceCase{"a_user_owns_it",
                   {"alice", "tty", 0620},
                   "only alice and root may open it (owner alice, group tty, mode 0620)"},
        AdviceCase{"owner_without_access",
                   {"alice", "1001", 0000},
                   "only root may open it (owner alice, group 1001, mode 0000)"},
        AdviceCase{"mode_lets_everyone",
                   {"root", "dialout", 0666},
                   "the system refuses access although the mode allows it (owner root, group "
                   "dialout, mode 0666)"}),
    [](const auto& test) { return std::string(test.param.name); });

// A program of its own that holds a device the way a terminal program does: an exclusive
// lock on its open descriptor.
class HoldingProgram {
 public:
  explicit HoldingProgram(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) return;
    // The lock belongs to the open descriptor, which the child inherits and keeps.
    char sleep[] = "sleep";
    char seconds[] = "30";
    char* argv[] = {sleep, seconds, nullptr};
    if (posix_spawnp(&pid_, "sleep", nullptr, nullptr, argv, environ) != 0) pid_ = 0;
    ::close(fd);
  }
  ~HoldingProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  HoldingProgram(const HoldingProgram&) = delete;
  HoldingProgram& operator=(const HoldingProgram&) = delete;

  pid_t pid() const { return pid_; }

  // True once the child runs the program, so /proc shows its name.
  bool wait_until_running() const {
    for (auto deadline = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
      std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
      std::string command;
      if (std::getline(comm, command) && command == "sleep") return true;
    }
    return false;
  }

 private:
  pid_t pid_ = 0;
};

std::string open_error(const std::string& device) {
  SerialPort port;
  port.set_port(device);
  try {
    port.open();
  } catch (const SerialError& error) {
    return error.what();
  }
  return "opened";
}

TEST(BusyDevice, NamesTheProgramThatHoldsIt) {
  testing::PtyPair pty;
  const HoldingProgram holder(pty.slave_path());
  ASSERT_GT(holder.pid(), 0);
  ASSERT_TRUE(holder.wait_until_running());

  EXPECT_THAT(open_error(pty.slave_path()),
              HasSubstr(pty.slave_path() + ": cannot open the port: it is in use by another " +
                        "program (sleep, PID " + std::to_string(holder.pid()) + ") (system error"));
}

// This process's own descriptors are no other program; the plain text stays.
TEST(BusyDevice, HeldWithinThisProcessKeepsThePlainText) {
  testing::PtyPair pty;
  SerialPort holder;
  holder.set_port(pty.slave_path());
  holder.open();
  EXPECT_THAT(open_error(pty.slave_path()),
              HasSubstr("in use by another program (system error code: "));
}

}  // namespace
}  // namespace serial
