#include "cli/exit_status.h"

namespace cli {

ExitStatus exit_status_for(boot::Outcome outcome) {
  switch (outcome) {
    case boot::Outcome::success:
      return exit_success;
    case boot::Outcome::wrong_answer:
      return exit_wrong_answer;
    case boot::Outcome::open_failed:
      return exit_open_failed;
    case boot::Outcome::device_error:
      return exit_device_error;
    case boot::Outcome::aborted:
      return exit_aborted;
  }
  return exit_device_error;  // not reached: every outcome is listed above
}

}  // namespace cli
