#pragma once
// The fault matrix: every way a check goes wrong that a user can bring about, one row each,
// run through pellora-cli and through the window. A row says what is done to the box, the
// port, the output files or the program, and what the user must then see; the runners
// (terminal_run.h, window_run.h) also check that nothing was lost: the log file holds
// exactly the log's lines and the port is given back.

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "boot/report.h"

namespace fault_matrix {

enum class FrontEnd { terminal, window };

// What happens to the port before the check opens it.
enum class PortTrouble {
  none,
  missing,             // gone since it was listed (the pseudo-terminal closed)
  held,                // another program holds it (flock, as terminal programs do)
  not_permitted,       // the user may not open it
  stalls_after_start,  // a box that stops taking bytes once the upload begins
};

// Where --log and --report (the terminal) or "Save Log" (the window) write.
enum class OutputTarget {
  plain,             // a file in a writable folder
  read_only_folder,  // a folder the user may not write to
  under_a_file,      // a path whose folder is a regular file (terminal only)
  dev_full,          // the device that is always full
  dev_null,          // the device that takes everything
  symlink_to_file,   // a symbolic link to a regular file elsewhere
};

// What the user does once the trigger (below) is met.
enum class Act {
  nothing,
  esc,                // the Esc key (terminal: stdin is a terminal)
  ctrl_c,             // terminal: SIGINT; window: the window is closed
  ctrl_c_twice,       // terminal: SIGINT, and again 50 ms later
  ctrl_backslash,     // terminal: SIGQUIT
  reader_quits,       // terminal: stdout's reader takes one line and goes (| head -1)
  storm_during_scan,  // window: hundreds of Esc presses and clicks while a scan runs
};

struct Expected {
  boot::Outcome outcome = boot::Outcome::success;
  int exit_status = 0;  // pellora-cli's
  // The log's last line; empty: not checked (Test Mode shows what the box printed).
  std::string last_log_line;
  // A phrase of the diagnosis (stderr; the window's notice strip).
  std::string diagnosis;
  // A phrase of a file-write failure (stderr; the window's error box); empty: none.
  std::string write_error;
  // The whole log, where the front end cannot show it in full (stdout closed or cut short).
  std::vector<std::string> log;
};

struct Fault {
  std::string name;
  bool terminal = true;
  bool window = true;
  std::string scenario = "good";  // the simulated box's
  boot::Mode mode = boot::Mode::flash;
  PortTrouble port = PortTrouble::none;
  OutputTarget output = OutputTarget::plain;
  bool stdout_closed = false;  // terminal: started as `pellora-cli ... >&-`
  Act act = Act::nothing;
  // The act comes once this log line has shown and the box has sent this many bytes, and
  // this long after that.
  std::string act_after_line;
  std::size_t act_after_box_sent = 0;
  std::chrono::milliseconds act_delay{0};
  Expected expected;
};

const std::vector<Fault>& faults();

// "Power ON DB Device [ESC to Abort]" and the other lines a row expects.
namespace lines {
extern const std::string power_on, hw_id_a, hw_id_none, detected, data1, sending, baudrate_ok,
    data2, wrong, user_abort, failed_open, no_jtag;
std::vector<std::string> flash_success();
}  // namespace lines

std::string_view front_end_name(FrontEnd front_end);

}  // namespace fault_matrix
