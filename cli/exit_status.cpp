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

std::string_view outcome_summary(boot::Outcome outcome, boot::Mode mode) {
  switch (outcome) {
    case boot::Outcome::success:
      return mode == boot::Mode::flash
                 ? "result: the box boots and its flash answers; it needs no JTAG rescue"
                 : "result: the box greeted the line; its console output is in the log";
    case boot::Outcome::wrong_answer:
      return "result: the box did not answer as expected (see the log)";
    case boot::Outcome::open_failed:
      return "result: the port could not be opened";
    case boot::Outcome::device_error:
      return "result: the serial device failed during the check";
    case boot::Outcome::aborted:
      return "result: aborted";
  }
  return "result: unknown";
}

}  // namespace cli
