// The port object's rules: defaults, open and close, exclusive use, settings on an open
// port, and failures that name the device.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "pty_pair.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"
#include "speed_probe.h"

namespace serial {
namespace {

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::PtyPair;

// The message of the SerialError that action throws; fails the test if it throws none.
std::string error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const SerialError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no SerialError was thrown";
  return {};
}

TEST(SerialPortDefaults, ClosedOnCom1At9600ReadingAtOnce) {
  SerialPort port;
  EXPECT_EQ(port.port(), "COM1");
  EXPECT_EQ(port.baud_rate(), 9600u);
  EXPECT_EQ(port.timeouts(), immediate_profile);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.bytes_waiting(), 0u);
  EXPECT_NO_THROW(port.close());  // closing a closed port does nothing
  EXPECT_FALSE(port.is_open());
}

TEST(SerialPortDefaults, TransfersOnAClosedPortFailWithTheName) {
  SerialPort port;
  port.set_port("/dev/nowhere");
  const std::vector<std::pair<const char*, std::function<void()>>> actions = {
      {"read", [&] { port.read(1); }},
      {"write", [&] { port.write(Bytes{1}); }},
      {"DTR", [&] { port.set_dtr(true); }},
      {"RTS", [&] { port.set_rts(true); }},
  };
  for (const auto& [what, action] : actions)
    EXPECT_THAT(error_of(action), AllOf(HasSubstr("/dev/nowhere"), HasSubstr("not open"))) << what;
}

TEST(SerialPortDefaults, BaudRateZeroIsRefused) {
  SerialPort port;
  EXPECT_THAT(error_of([&] { port.set_baud_rate(0); }), HasSubstr("baud"));
  EXPECT_EQ(port.baud_rate(), 9600u);
}

class OpenPort : public ::testing::Test {
 protected:
  void SetUp() override {
    pty.hold_slave();
    port.set_port(pty.slave_path());
    port.open();
    port.set_timeouts(watch_profile);
  }

  PtyPair pty;
  SerialPort port;
};

TEST_F(OpenPort, DtrAndRtsOnAPseudoTerminalAreNoOps) {
  for (const bool on : {true, false}) {
    EXPECT_NO_THROW(port.set_dtr(on));
    EXPECT_NO_THROW(port.set_rts(on));
  }
  pty.send(Bytes{9});
  EXPECT_EQ(port.read(1), Bytes{9});
}

TEST_F(OpenPort, OpeningDiscardsNothing) {
  port.close();
  pty.send(Bytes{'e', 'a', 'r', 'l', 'y'});  // queued at the slave while the port is closed
  port.open();
  EXPECT_EQ(port.read(18), (Bytes{'e', 'a', 'r', 'l', 'y'}));
}

TEST_F(OpenPort, CloseDiscardsUnreadInput) {
  pty.send(Bytes{1, 2, 3});
  ASSERT_TRUE(testing::wait_until_waiting(port, 3));
  port.close();
  EXPECT_EQ(port.bytes_waiting(), 0u);
  port.open();
  EXPECT_EQ(port.bytes_waiting(), 0u);
  EXPECT_TRUE(port.read(3).empty());
}

// Calls that must change nothing keep the unread input (a reopen would discard it).
TEST_F(OpenPort, UnchangedValuesAndASecondOpenChangeNothing) {
  const std::vector<std::pair<const char*, std::function<void()>>> actions = {
      {"open again", [&] { port.open(); }},
      {"same name", [&] { port.set_port(pty.slave_path()); }},
      {"same baud rate", [&] { port.set_baud_rate(port.baud_rate()); }},
      {"same stop bits", [&] { port.set_stop_bits(StopBits::one); }},
      {"same timeouts", [&] { port.set_timeouts(watch_profile); }},
  };
  for (const auto& [what, action] : actions) {
    pty.send(Bytes{0x17});
    ASSERT_TRUE(testing::wait_until_waiting(port, 1)) << what;
    action();
    EXPECT_TRUE(port.is_open()) << what;
    EXPECT_EQ(port.read(5), Bytes{0x17}) << what;
  }
}

struct SpeedCase {
  std::uint32_t baud;
  StopBits stop_bits;
};

void PrintTo(const SpeedCase& c, std::ostream* out) {
  *out << c.baud << (c.stop_bits == StopBits::two ? " baud, two stop bits" : " baud, one stop bit");
}

class LineSettingsApply : public OpenPort, public ::testing::WithParamInterface<SpeedCase> {};

// A setting changed on an open port reaches the line at once; 250000 has no B-constant.
TEST_P(LineSettingsApply, OnTheOpenPort) {
  const auto [baud, stop_bits] = GetParam();
  port.set_baud_rate(baud);
  port.set_stop_bits(stop_bits);

  EXPECT_EQ(testing::output_speed(pty.held_slave_fd()), baud);
  const termios line = pty.slave_settings();
  EXPECT_EQ((line.c_cflag & CSTOPB) != 0, stop_bits == StopBits::two);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  // Still a working raw line after the change.
  pty.send(Bytes{0x00, 0x0D, 0x11, 0x13});
  EXPECT_EQ(port.read(4), (Bytes{0x00, 0x0D, 0x11, 0x13}));
}

INSTANTIATE_TEST_SUITE_P(Speeds, LineSettingsApply,
                         ::testing::Values(SpeedCase{115200, StopBits::one},
                                           SpeedCase{250000, StopBits::one},
                                           SpeedCase{19200, StopBits::two},
                                           SpeedCase{9600, StopBits::two}));

TEST_F(OpenPort, SettingsMadeWhileClosedApplyAtOpen) {
  port.close();
  port.set_baud_rate(boot_baud_rate);
  port.open();
  EXPECT_EQ(testing::output_speed(pty.held_slave_fd()), boot_baud_rate);
}

TEST_F(OpenPort, ANewNameReopensOnTheNewDevice) {
  PtyPair other;
  port.set_port(other.slave_path());
  ASSERT_TRUE(port.is_open());
  EXPECT_EQ(port.port(), other.slave_path());

  other.send(Bytes{'B'});
  EXPECT_EQ(port.read(1), Bytes{'B'});
  // The first device is free again for another opener.
  SerialPort first;
  first.set_port(pty.slave_path());
  EXPECT_NO_THROW(first.open());
}

TEST_F(OpenPort, ASecondOpenerIsRefusedAsBusy) {
  SerialPort second;
  second.set_port(pty.slave_path());
  EXPECT_THAT(error_of([&] { second.open(); }),
              AllOf(HasSubstr(pty.slave_path()), HasSubstr("in use by another program")));
  EXPECT_FALSE(second.is_open());

  // The holder is unharmed, and once it lets go the device opens.
  pty.send(Bytes{1});
  EXPECT_EQ(port.read(1), Bytes{1});
  port.close();
  EXPECT_NO_THROW(second.open());
}

// The far end vanishing (an adapter pulled out) must never look like a quiet line.
TEST_F(OpenPort, AVanishedDeviceMakesReadAndWriteThrow) {
  pty.close_master();
  EXPECT_THAT(error_of([&] { port.read(18); }),
              AllOf(HasSubstr(pty.slave_path()), HasSubstr("ReadFile function failed"),
                    HasSubstr("system error code: ")));
  EXPECT_THAT(error_of([&] {
                port.write(Bytes{'d', 'r', 'e', 'a', 'm'});
              }),
              AllOf(HasSubstr(pty.slave_path()), HasSubstr("WriteFile function failed"),
                    HasSubstr("system error code: ")));
  EXPECT_TRUE(port.is_open());  // the port stays open until released
  EXPECT_NO_THROW(port.close());
}

// A read waiting with nothing when the line hangs up reports the loss at once: a wait loop
// must not take it for a quiet line.
TEST_F(OpenPort, AReadWaitingWithNothingWhenTheDeviceVanishesThrows) {
  port.set_timeouts(dialogue_profile);
  PtyPair line;
  port.set_port(line.slave_path());
  std::thread far_end([&] {
    std::this_thread::sleep_for(100ms);
    line.close_master();
  });
  EXPECT_THAT(error_of([&] { port.read(200); }),
              AllOf(HasSubstr(line.slave_path()), HasSubstr("ReadFile function failed")));
  far_end.join();
  EXPECT_EQ(port.pending_error(), "");
}

// A complete answer followed by a hang-up (the box switched off right after its status
// reply, during the read's interval wait) is returned; the loss is reported by the next
// transfer on the port, with the text the read would have thrown.
struct NextTransfer {
  const char* name;
  std::function<void(Port&)> action;
};

void PrintTo(const NextTransfer& c, std::ostream* out) {
  *out << c.name;
}

class AnswerBeforeAHangUp : public ::testing::TestWithParam<NextTransfer> {
 protected:
  void SetUp() override {
    port.set_port(line.slave_path());
    port.open();
    port.set_timeouts(dialogue_profile);
  }

  // The far end sends the reply whole, then hangs up 100 ms later.
  Bytes read_reply_then_hang_up() {
    std::thread far_end([this] {
      line.send(reply);
      std::this_thread::sleep_for(100ms);
      line.close_master();
    });
    Bytes received = port.read(200);
    far_end.join();
    return received;
  }

  const Bytes reply = {'c', 'l', 'i', 'e', 'n', 't', ':', ' ', 'o', 'k', '\r', '\n'};
  PtyPair line;
  SerialPort port;
};

TEST_P(AnswerBeforeAHangUp, IsReturnedAndTheNextTransferReportsTheLoss) {
  EXPECT_EQ(read_reply_then_hang_up(), reply);

  const std::string pending = port.pending_error();
  EXPECT_THAT(pending, AllOf(HasSubstr(line.slave_path() + ": ReadFile function failed"),
                             HasSubstr("system error code: ")));
  EXPECT_EQ(error_of([&] { GetParam().action(port); }), pending);
  EXPECT_EQ(port.pending_error(), "");  // reported once
  EXPECT_TRUE(port.is_open());
}

INSTANTIATE_TEST_SUITE_P(Transfers, AnswerBeforeAHangUp,
                         ::testing::Values(NextTransfer{"read", [](Port& port) { port.read(18); }},
                                           NextTransfer{"write",
                                                        [](Port& port) {
                                                          port.write(Bytes{'d', 'r'});
                                                        }}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(AnswerBeforeAHangUp, ClosingForgetsTheLoss) {
  EXPECT_EQ(read_reply_then_hang_up(), reply);
  ASSERT_NE(port.pending_error(), "");
  port.close();
  EXPECT_EQ(port.pending_error(), "");

  // A new line on the same port object starts clean.
  PtyPair next;
  port.set_port(next.slave_path());
  port.open();
  next.send(Bytes{'o', 'k'});
  EXPECT_EQ(port.read(2), (Bytes{'o', 'k'}));
}

class TempFile {
 public:
  TempFile() : path_(std::filesystem::temp_directory_path() / "pellora_serial_plain_file") {
    std::ofstream(path_) << "not a tty\n";
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(SerialPortOpenFailures, NameTheDeviceAndTheReason) {
  const TempFile plain_file;
  const struct {
    std::string name;
    const char* reason;
  } cases[] = {
      {"/dev/pellora-no-such-port", "no such device"},
      {plain_file.path(), "not a serial device"},
      {"/", "cannot open the port"},
  };
  for (const auto& c : cases) {
    SerialPort port;
    port.set_port(c.name);
    EXPECT_THAT(error_of([&] { port.open(); }), AllOf(HasSubstr(c.name + ": "), HasSubstr(c.reason),
                                                      HasSubstr("system error code")))
        << c.name;
    EXPECT_FALSE(port.is_open()) << c.name;
  }
}

// No name is no device to name: the reason says what is missing.
TEST(SerialPortOpenFailures, AnEmptyNameIsRefusedWithItsReason) {
  SerialPort port;
  port.set_port("");
  EXPECT_EQ(error_of([&] { port.open(); }), "cannot open the port: no port name given");
  EXPECT_FALSE(port.is_open());
}

// A node nobody but root may use: joining its group would not help, so no such advice.
TEST(SerialPortOpenFailures, PermissionDeniedSaysWhoMayOpenIt) {
  if (geteuid() == 0) GTEST_SKIP() << "root opens any device node";
  PtyPair pty;
  ASSERT_EQ(::chmod(pty.slave_path().c_str(), 0), 0);
  SerialPort port;
  port.set_port(pty.slave_path());
  EXPECT_THAT(error_of([&] { port.open(); }),
              AllOf(HasSubstr(pty.slave_path()), HasSubstr("permission denied"),
                    HasSubstr("only root may open it"), HasSubstr("mode 0000"),
                    Not(HasSubstr("add yourself"))));
}

}  // namespace
}  // namespace serial
