// What a port reports while bytes go: the traffic observer sees exactly what left and what
// came, and a write into a line that takes nothing asks whether to go on waiting.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <numeric>
#include <thread>
#include <vector>

#include "pty_pair.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"

namespace serial {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::HasSubstr;
using testing::PtyPair;

class RecordingObserver final : public TrafficObserver {
 public:
  void bytes_sent(ByteView bytes) override { sent.insert(sent.end(), bytes.begin(), bytes.end()); }
  void bytes_received(ByteView bytes) override {
    received.emplace_back(bytes.begin(), bytes.end());
  }

  Bytes sent;
  std::vector<Bytes> received;  // one entry per call
};

Bytes counting_bytes(std::size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

class Traffic : public ::testing::Test {
 protected:
  void SetUp() override {
    pty.hold_slave();  // before the port, which opens exclusively
    port.set_port(pty.slave_path());
    port.open();
    port.set_traffic_observer(&observer);
  }

  PtyPair pty;
  SerialPort port;
  RecordingObserver observer;
};

// More than the line holds at once, so the write goes in several pieces.
TEST_F(Traffic, ObserverSeesEveryByteWrittenInOrder) {
  const Bytes bytes = counting_bytes(20000);
  std::thread far_end([&] { EXPECT_EQ(pty.receive(bytes.size(), 10s), bytes); });
  port.write(bytes);
  far_end.join();
  EXPECT_EQ(observer.sent, bytes);
  EXPECT_TRUE(observer.received.empty());
}

TEST_F(Traffic, ObserverSeesWhatEachReadReturnsAndNoEmptyRead) {
  port.set_timeouts(watch_profile);
  pty.send(Bytes{1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(testing::wait_until_waiting(port, 6));

  EXPECT_EQ(port.read(4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(port.read(18), (Bytes{5, 6}));
  EXPECT_TRUE(port.read(18).empty());  // timed out: nothing to see
  EXPECT_EQ(observer.received, (std::vector<Bytes>{{1, 2, 3, 4}, {5, 6}}));
  EXPECT_TRUE(observer.sent.empty());

  port.set_traffic_observer(nullptr);
  pty.send(Bytes{7});
  EXPECT_EQ(port.read(1), Bytes{7});
  EXPECT_EQ(observer.received.size(), 2u);
}

// keep_waiting's answers in turn; the last one repeats.
struct StallCase {
  const char* name;
  std::vector<bool> answers;
  bool abandoned;
};

void PrintTo(const StallCase& c, std::ostream* out) {
  *out << c.name;
}

class StalledWrite : public Traffic, public ::testing::WithParamInterface<StallCase> {};

TEST_P(StalledWrite, AsksWhileTheLineTakesNothing) {
  const StallCase& c = GetParam();
  std::size_t asked = 0;
  port.set_write_stall_check([&] { return c.answers[std::min(asked++, c.answers.size() - 1)]; });
  pty.fill_line();

  const auto start = Clock::now();
  std::string abandoned;
  try {
    port.write(Bytes{'d', 'r', 'e', 'a', 'm'});
  } catch (const WriteAbandoned& error) {
    abandoned = error.what();
  }
  const auto took = Clock::now() - start;

  if (c.abandoned) {
    EXPECT_THAT(abandoned, HasSubstr(pty.slave_path() + ": "));
    EXPECT_EQ(asked, c.answers.size());  // stopped at the first "no"
  } else {
    EXPECT_EQ(abandoned, "");
    EXPECT_GE(took, 1500ms);  // the write timeouts still end it: 5 x 100 ms + 1000 ms
    EXPECT_GE(asked, 3u);     // asked all along, not once
  }
  EXPECT_TRUE(observer.sent.empty());  // nothing of it left
  EXPECT_TRUE(port.is_open());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StalledWrite,
    ::testing::Values(StallCase{"stop_at_once", {false}, true},
                      StallCase{"stop_on_the_third_question", {true, true, false}, true},
                      StallCase{"always_go_on", {true}, false}),
    [](const auto& test) { return std::string(test.param.name); });

// What the line had taken but not yet passed on is discarded with the abandoned write, and
// the port goes on working.
TEST_F(Traffic, AnAbandonedWriteLeavesNothingToGoOutLater) {
  pty.fill_line();
  // Room for part of the write: the far end takes some of the filler.
  EXPECT_FALSE(pty.receive(5000, 200ms).empty());
  port.set_write_stall_check([] { return false; });
  const Bytes bytes(20000, 0xA5);
  {
    // Should the write never be abandoned, its deadline is half an hour away: end it sooner.
    std::promise<void> written;
    std::thread watchdog([this, finished = written.get_future()] {
      if (finished.wait_for(10s) == std::future_status::timeout) pty.close_master();
    });
    EXPECT_THROW(port.write(bytes), WriteAbandoned);
    written.set_value();
    watchdog.join();
  }
  EXPECT_FALSE(observer.sent.empty());  // part of it had been taken

  const Bytes later = pty.receive(100000, 500ms);
  EXPECT_EQ(std::count(later.begin(), later.end(), 0xA5), 0);

  port.write(Bytes{'o', 'k'});
  EXPECT_EQ(pty.receive(3, 500ms), (Bytes{'o', 'k'}));
}

}  // namespace
}  // namespace serial
