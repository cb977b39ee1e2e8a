#pragma once
// The program's exit statuses, and the one place a boot check's outcome becomes one.

#include "boot/report.h"

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

}  // namespace cli
