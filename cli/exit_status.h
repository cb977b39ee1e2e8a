#pragma once
// The program's exit statuses, and the one place a boot check's outcome becomes one.

#include <string_view>

#include "boot/boot_check.h"
#include "boot/panel.h"

namespace cli {

enum ExitStatus : int {
  exit_success = 0,
  exit_wrong_answer = 1,
  exit_usage = 2,
  exit_open_failed = 3,
  exit_device_error = 4,
  exit_log_not_written = 5,
  exit_aborted = 130,
};

ExitStatus exit_status_for(boot::Outcome outcome);

// One line for stderr at the end of a check.
std::string_view outcome_summary(boot::Outcome outcome, boot::Mode mode);

}  // namespace cli
