#pragma once
// What every stage of a boot check works with, and how a stage stops the check.

#include "boot/boot_check.h"
#include "boot/clock.h"
#include "boot/panel.h"
#include "serial/port.h"

namespace boot {

struct Dialogue {
  Panel& panel;
  serial::Port& port;
  Clock& clock;
  // Why the check stopped, set by the stage that stopped it.
  Outcome outcome = Outcome::success;
};

// Releases the port, records why, and returns false for the stage to hand back.
bool stop(Dialogue& dialogue, Outcome why);

// Logs "User Abort!" and stops the check.
bool stop_on_user_abort(Dialogue& dialogue);

// Between the steps after the banner: true while the user has not closed the window; else
// the check has been stopped as a user abort.
bool window_still_open(Dialogue& dialogue);

}  // namespace boot
