#include "sim/line_pacer.h"

#include <gtest/gtest.h>

namespace {

using sim::LinePacer;
using namespace std::chrono_literals;

TEST(LinePacer, HoldsBytesToTheLineSpeed) {
  LinePacer pacer(true, 115200);
  EXPECT_EQ(pacer.byte_time(), 86805ns);  // ten bits at 115200 baud

  const auto start = LinePacer::Clock::time_point{} + 1h;
  // An idle line grants a burst, not a backlog.
  EXPECT_EQ(pacer.allowance(start), LinePacer::max_burst);
  pacer.passed(LinePacer::max_burst, start);
  EXPECT_EQ(pacer.allowance(start), 0u);

  // After one millisecond the line has carried 11 more bytes.
  EXPECT_EQ(pacer.allowance(start + 1ms), 11u);
  EXPECT_EQ(pacer.time_for(16, start), start + 16 * pacer.byte_time());
  // A long pause still grants only the burst.
  EXPECT_EQ(pacer.allowance(start + 10s), LinePacer::max_burst);
}

TEST(LinePacer, DisabledLetsEverythingThrough) {
  LinePacer pacer(false, 115200);
  const auto now = LinePacer::Clock::now();
  pacer.passed(1'000'000, now);
  EXPECT_GT(pacer.allowance(now), 1'000'000u);
  EXPECT_EQ(pacer.time_for(16, now), now);
}

}  // namespace
