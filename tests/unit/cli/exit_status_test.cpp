#include "cli/exit_status.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

// Scripts and the Windows test run rely on these numbers.
TEST(ExitStatus, EachOutcomeHasItsDocumentedStatus) {
  const struct {
    boot::Outcome outcome;
    int status;
  } cases[] = {
      {boot::Outcome::success, 0},     {boot::Outcome::wrong_answer, 1},
      {boot::Outcome::open_failed, 3}, {boot::Outcome::device_error, 4},
      {boot::Outcome::aborted, 130},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exit_status_for(c.outcome), c.status) << static_cast<int>(c.outcome);
  }
}

}  // namespace
}  // namespace cli
