#pragma once
// The work behind "Detect DM >>": open the chosen port, watch for the boot banner, then run
// the chosen mode's conversation with the box.

#include <optional>
#include <string>

#include "boot/clock.h"
#include "boot/panel.h"
#include "boot/report.h"
#include "serial/port.h"

namespace boot {

struct CheckRequest {
  std::string port;  // the port list's selected entry; empty when none is selected
  Mode mode = Mode::flash;
  // Flash Mode's image; without one the upload is skipped and the frames follow at once.
  std::optional<LoaderImage> loader;
};

// Runs one boot check to its end, as the "Detect DM >>" click does. A failed check has
// released the port; a successful one leaves it open.
Report run_boot_check(Panel& panel, serial::Port& port, Clock& clock, const CheckRequest& request);

}  // namespace boot
