#pragma once
// What every stage of a boot check works with: taking the chosen port, giving it back, and
// how a stage stops the check.

#include "boot/clock.h"
#include "boot/panel.h"
#include "boot/report.h"
#include "serial/port.h"

namespace boot {

struct Dialogue {
  Panel& panel;
  serial::Port& port;
  Clock& clock;
  // What the check has seen so far, and in the end why it stopped.
  Report& report;
};

// The check moves on to the given step; the panel hears of the report as it stands.
void enter_stage(Dialogue& dialogue, Stage stage);

// Resets the gauge, sets 115200 baud, one stop bit, the chosen port and the watch profile,
// opens it and asserts DTR and RTS, then logs "Power ON DB Device [ESC to Abort]". If any
// of that fails (no port chosen included) it logs "Failed Open Com Port!", closes the port,
// enables the control set, rebuilds the port list and returns false; the report keeps the
// reason.
bool open_for_boot_check(Dialogue& dialogue);

// The common end of every failed boot check: close the port if open, enable the control set.
void release(Panel& panel, serial::Port& port);

// The same, for when the port itself has failed: a close that fails too is ignored, so the
// control set is enabled whatever the device does.
void release_after_device_error(Panel& panel, serial::Port& port);

// Releases the port, records why, and returns false for the stage to hand back.
bool stop(Dialogue& dialogue, Outcome why);

// Logs "User Abort!" and stops the check.
bool stop_on_user_abort(Dialogue& dialogue);

// Between the steps after the banner: when the user has closed the window (or interrupted
// the terminal), logs "User Abort!", releases the port and returns true: the stage then
// returns false.
bool stop_if_closed(Dialogue& dialogue);

}  // namespace boot
