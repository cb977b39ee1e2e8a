#pragma once
// Taking the chosen port for a boot check and giving it back.

#include "boot/panel.h"
#include "serial/port.h"

namespace boot {

// Resets the gauge, sets 115200 baud, one stop bit, the chosen port and the watch profile,
// opens it and asserts DTR and RTS, then logs "Power ON DB Device [ESC to Abort]". If any
// of that fails (no port chosen included) it logs "Failed Open Com Port!", closes the port,
// enables the control set, rebuilds the port list and returns false.
bool open_for_boot_check(Panel& panel, serial::Port& port);

// The common end of every failed boot check: close the port if open, enable the control set.
void release(Panel& panel, serial::Port& port);

// The same, for when the port itself has failed: a close that fails too is ignored, so the
// control set is enabled whatever the device does.
void release_after_device_error(Panel& panel, serial::Port& port);

}  // namespace boot
