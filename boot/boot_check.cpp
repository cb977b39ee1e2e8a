#include "boot/boot_check.h"

#include "boot/dialogue.h"
#include "boot/flash_mode.h"
#include "boot/log_text.h"
#include "boot/test_mode.h"
#include "serial/serial_error.h"

namespace boot {

namespace {

// The steps behind "Detect DM >>"; the report says how the check ended.
void run_steps(Dialogue& d, const CheckRequest& request) {
  d.panel.clear_log();
  d.panel.disable_control_set();
  d.panel.set_save_log_visible(false);
  // An Esc pressed before this check, or late in the last one, is not meant for this one.
  d.panel.set_abort_flag(false);

  enter_stage(d, Stage::open);
  if (!open_for_boot_check(d)) return;

  if (request.mode == Mode::flash) {
    if (!flash_handshake(d)) return;
    if (!flash_upload_and_check(d, request.loader)) return;
  }
  if (request.mode == Mode::test) {
    if (!test_capture(d)) return;
  }

  d.panel.process_pending_messages();
  enter_stage(d, Stage::done);
  d.report.outcome = Outcome::success;
  // The box had answered; a line lost on the very last read is told after the verdict.
  if (d.report.after_verdict_note.empty()) d.report.after_verdict_note = d.port.pending_error();
}

// While the window is closed or Ctrl-C pressed, a write the line does not take is given up
// instead of held for its whole timeout.
class StalledWritesHeardOut {
 public:
  StalledWritesHeardOut(Panel& panel, serial::Port& port) : port_(port) {
    port_.set_write_stall_check([&panel] {
      panel.process_pending_messages();
      return !panel.close_requested();
    });
  }
  ~StalledWritesHeardOut() { port_.set_write_stall_check({}); }
  StalledWritesHeardOut(const StalledWritesHeardOut&) = delete;
  StalledWritesHeardOut& operator=(const StalledWritesHeardOut&) = delete;

 private:
  serial::Port& port_;
};

}  // namespace

Report run_boot_check(Panel& panel, serial::Port& port, Clock& clock, const CheckRequest& request) {
  Report report;
  report.port = request.port;
  report.mode = request.mode;
  Dialogue dialogue{panel, port, clock, report};
  const StalledWritesHeardOut stall_check(panel, port);
  try {
    run_steps(dialogue, request);
  } catch (const serial::WriteAbandoned&) {
    // The user closed the window or pressed Ctrl-C while the line took no bytes.
    log_status_message(panel, StatusMessage::user_abort);
    release_after_device_error(panel, port);
    report.outcome = Outcome::aborted;
  } catch (const serial::SerialError& error) {
    // The device went away mid-check (an adapter pulled out): give the port back; the
    // report says why and where.
    report.error = error.what();
    report.fault = error.fault();
    release_after_device_error(panel, port);
    report.outcome = Outcome::device_error;
  }
  return report;
}

}  // namespace boot
