// The gauge's percent values.
#include "boot/log_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace boot_test {
namespace {

TEST(Progress, RoundsToNearestWithHalvesToEven) {
  struct Case {
    std::uint32_t done, total;
    int percent;
  };
  const std::vector<Case> table = {
      {0, 43044, 0},
      {1024, 43044, 2},
      {43008, 43044, 100},
      {43044, 43044, 100},
      {1, 8, 12},
      {3, 8, 38},
      {5, 8, 62},
      {7, 8, 88},  // x.5 cases
      {1, 3, 33},
      {2, 3, 67},
      {1, 200, 0},
      {4294967295u, 4294967295u, 100},
      {2147483648u, 4294967295u, 50},
  };
  for (const Case& c : table) {
    EXPECT_EQ(boot::progress_percent(c.done, c.total), c.percent) << c.done << " of " << c.total;
  }
}

TEST(Progress, StaysWithinTheGaugeRange) {
  EXPECT_EQ(boot::progress_percent(0, 0), 100);
  EXPECT_EQ(boot::progress_percent(5, 0), 100);
  EXPECT_EQ(boot::progress_percent(20, 10), 100);
}

}  // namespace
}  // namespace boot_test
