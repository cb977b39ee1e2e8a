#include "boot/boot_check.h"

#include "boot/boot_port.h"
#include "boot/dialogue.h"
#include "boot/flash_mode.h"
#include "boot/test_mode.h"
#include "serial/serial_error.h"

namespace boot {

namespace {

// The steps behind "Detect DM >>"; returns how the check ended.
Outcome run_steps(Dialogue& d, LoaderImage loader_image) {
  d.panel.clear_log();
  d.panel.disable_control_set();
  d.panel.set_save_log_visible(false);
  // An Esc pressed before this check, or late in the last one, is not meant for this one.
  d.panel.set_abort_flag(false);

  const Mode mode = d.panel.selected_mode();
  if (mode == Mode::none) {
    // The front ends offer "Detect DM >>" only once a mode is chosen; without one there is
    // nothing to ask the box, so say so rather than open the port and leave the controls dead.
    d.panel.report_error("No mode chosen: pick Flash Mode or Test Mode");
    d.panel.enable_control_set();
    return Outcome::aborted;
  }

  if (!open_for_boot_check(d.panel, d.port)) return Outcome::open_failed;

  if (mode == Mode::flash) {
    if (!flash_handshake(d)) return d.outcome;
    if (!flash_upload_and_check(d, loader_image)) return d.outcome;
  }
  if (mode == Mode::test) {
    if (!test_capture(d)) return d.outcome;
  }

  d.panel.process_pending_messages();
  return Outcome::success;
}

}  // namespace

Outcome run_boot_check(Panel& panel, serial::Port& port, Clock& clock, LoaderImage loader_image) {
  Dialogue dialogue{panel, port, clock};
  try {
    return run_steps(dialogue, loader_image);
  } catch (const serial::SerialError& error) {
    // The device went away mid-check (an adapter pulled out): say why, give the port back.
    panel.report_error(error.what());
    release_after_device_error(panel, port);
    return Outcome::device_error;
  }
}

}  // namespace boot
