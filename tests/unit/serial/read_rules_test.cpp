// The read rules and the byte path, on a real pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <numeric>
#include <thread>

#include "pty_pair.h"
#include "serial/serial_port.h"

namespace serial {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;

class ReadRules : public ::testing::Test {
 protected:
  void SetUp() override {
    port.set_port(pty.slave_path());
    port.open();
  }

  // Runs a read and tells how long it took.
  std::pair<Bytes, std::chrono::milliseconds> timed_read(std::size_t count) {
    const auto start = Clock::now();
    Bytes bytes = port.read(count);
    return {std::move(bytes),
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
  }

  PtyPair pty;
  SerialPort port;
};

Bytes all_byte_values() {
  Bytes bytes(256);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

// Raw mode: no byte is translated, dropped, echoed or taken as flow control (XON/XOFF,
// CR/LF, zero bytes, the interrupt characters all among them).
TEST_F(ReadRules, EveryByteValuePassesBothWays) {
  port.set_timeouts(dialogue_profile);
  const Bytes bytes = all_byte_values();

  pty.send(bytes);
  EXPECT_EQ(port.read(bytes.size()), bytes);

  port.write(bytes);
  EXPECT_EQ(pty.receive(bytes.size() + 1, 500ms), bytes);  // nothing more, no echo
}

struct ReturnCase {
  const char* name;
  ReadTimeouts timeouts;
  std::size_t count;
  Bytes sent;  // sent by the far end before the read starts
  Bytes expected;
  std::chrono::milliseconds not_before;   // the rule's own deadline
  std::chrono::milliseconds well_before;  // a wide upper margin
};

void PrintTo(const ReturnCase& c, std::ostream* out) {
  *out << c.name;
}

class ReadReturns : public ReadRules, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(ReadReturns, ReturnsByItsRule) {
  const ReturnCase& c = GetParam();
  port.set_timeouts(c.timeouts);
  pty.send(c.sent);
  ASSERT_TRUE(testing::wait_until_waiting(port, c.sent.size()));

  const auto [bytes, took] = timed_read(c.count);

  EXPECT_EQ(bytes, c.expected);
  EXPECT_GE(took, c.not_before);
  EXPECT_LT(took, c.well_before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadReturns,
    ::testing::Values(
        // count reached: no timer has any say
        ReturnCase{"count", {1000, 3000, 0}, 4, {1, 2, 3, 4}, {1, 2, 3, 4}, 0ms, 900ms},
        // after the first bytes nothing follows: the interval ends it, long before the total
        ReturnCase{"interval", {150, 3000, 0}, 10, {7, 8, 9}, {7, 8, 9}, 150ms, 1500ms},
        // nothing at all: the total, constant + count * multiplier, with no error
        ReturnCase{"total", {50, 200, 10}, 10, {}, {}, 300ms, 1500ms},
        // an interval of MAXDWORD with no totals: what is waiting, at once
        ReturnCase{"at_once", immediate_profile, 10, {5, 6}, {5, 6}, 0ms, 900ms},
        ReturnCase{"at_once_empty", immediate_profile, 10, {}, {}, 0ms, 900ms}),
    [](const auto& test) { return std::string(test.param.name); });

// Bytes that keep trickling in never reset the total deadline.
TEST_F(ReadRules, TotalDeadlineHoldsWhileBytesTrickle) {
  port.set_timeouts({200, 400, 0});
  std::thread far_end([this] {
    for (std::uint8_t i = 0; i < 30; ++i) {
      pty.send(Bytes{i});
      std::this_thread::sleep_for(40ms);
    }
  });
  const auto [bytes, took] = timed_read(100);
  far_end.join();

  EXPECT_GE(took, 400ms);
  EXPECT_LT(took, 1000ms);  // the trickle lasts 1200 ms
  ASSERT_FALSE(bytes.empty());
  EXPECT_LT(bytes.size(), 30u);
  for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], i);  // in order, none lost
}

// A byte that arrives while the read waits ends the wait for the rest by the interval.
TEST_F(ReadRules, ByteArrivingDuringTheWaitIsReturned) {
  port.set_timeouts({100, 5000, 0});
  std::thread far_end([this] {
    std::this_thread::sleep_for(150ms);
    pty.send(Bytes{0x42});
  });
  const auto [bytes, took] = timed_read(18);
  far_end.join();

  EXPECT_EQ(bytes, Bytes{0x42});
  EXPECT_GE(took, 250ms);  // the byte's arrival plus the interval
  EXPECT_LT(took, 3000ms);
}

TEST_F(ReadRules, BytesBeyondCountStayQueuedInOrder) {
  port.set_timeouts(watch_profile);
  pty.send(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_TRUE(testing::wait_until_waiting(port, 10));

  EXPECT_EQ(port.read(4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(port.bytes_waiting(), 6u);
  EXPECT_EQ(port.read(18), (Bytes{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(port.bytes_waiting(), 0u);
}

TEST_F(ReadRules, ReadOfNothingReturnsAtOnce) {
  port.set_timeouts(dialogue_profile);
  pty.send(Bytes{1});
  ASSERT_TRUE(testing::wait_until_waiting(port, 1));
  const auto [bytes, took] = timed_read(0);
  EXPECT_TRUE(bytes.empty());
  EXPECT_LT(took, 1000ms);
  EXPECT_EQ(port.bytes_waiting(), 1u);
}

// Writing into a line whose far end takes nothing: the write deadline (100 ms per byte +
// 1000 ms) cuts it short, without an error and without hanging.
TEST_F(ReadRules, WriteCutShortByItsDeadlineReturnsWithoutError) {
  port.close();  // the second descriptor must come first: the port opens exclusively
  pty.hold_slave();
  port.open();
  pty.fill_line();

  const auto start = Clock::now();
  EXPECT_NO_THROW(port.write(Bytes{0x01}));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 1100ms);
  EXPECT_LT(took, 5000ms);
}

}  // namespace
}  // namespace serial
