// Test Mode: carriage returns after the banner, and the box's console text in the log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rig.h"

namespace boot_test {
namespace {

using ::testing::ElementsAre;

TEST(TestMode, ShowsWhatTheConsolePrints) {
  Rig rig;
  rig.mode = boot::Mode::test;
  rig.port.arrivals = {banner_a(), bytes_of("\r\nBusyBox v1.00\r\n# "), bytes_of("\r\n# ")};

  EXPECT_EQ(rig.run(), boot::Outcome::success);

  // Each answer is one entry, its line breaks kept.
  EXPECT_THAT(rig.panel.log, ElementsAre("Power ON DB Device [ESC to Abort]",
                                         "\r\nBusyBox v1.00\r\n# ", "\r\n# "));
  EXPECT_THAT(rig.port.writes,
              ElementsAre(serial::Bytes{0x0D, 0x0D, 0x0D, 0x0D, 0x0D}, serial::Bytes{0x0D}));
  EXPECT_THAT(rig.trace.only({"port.read", "clock", "port.set_timeouts"}),
              ElementsAre("port.set_timeouts 50/50/1", "port.read 18 50/50/1",
                          "port.set_timeouts 1500/1500/1", "port.read 60 1500/1500/1",
                          "port.read 40 1500/1500/1", "clock.sleep 1650"));
  EXPECT_TRUE(rig.port.is_open());
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_FALSE(rig.panel.save_log_visible);
  EXPECT_THAT(rig.panel.progress, ElementsAre(0));
}

TEST(TestMode, SilentBoxGivesTwoEmptyLinesAndStillSucceeds) {
  Rig rig;
  rig.mode = boot::Mode::test;
  rig.port.arrivals = {banner_a()};

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_THAT(rig.panel.log, ElementsAre("Power ON DB Device [ESC to Abort]", "", ""));
  EXPECT_TRUE(rig.panel.controls_enabled);
}

TEST(TestMode, ConsoleTextEndsAtAZeroByte) {
  Rig rig;
  rig.mode = boot::Mode::test;
  rig.port.arrivals = {banner_a(), serial::Bytes{'a', 'b', 0x00, 'c', 'd'},
                       serial::Bytes{0x00, 'x'}};

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_THAT(rig.panel.log, ElementsAre("Power ON DB Device [ESC to Abort]", "ab", ""));
}

}  // namespace
}  // namespace boot_test
