#include "boot/dialogue.h"

#include "boot/log_text.h"
#include "serial/serial_error.h"

namespace boot {

namespace {

void close_ignoring_errors(serial::Port& port) noexcept {
  try {
    port.close();
  } catch (...) {
    // The port is already lost; there is nothing left to tell the user about it.
  }
}

void configure_and_open(Panel& panel, serial::Port& port, const std::string& name) {
  reset_progress(panel);
  port.set_baud_rate(serial::boot_baud_rate);
  port.set_stop_bits(serial::StopBits::one);
  if (name.empty()) throw serial::SerialError("no port chosen: pick one from the port list");
  port.set_port(name);
  port.set_timeouts(serial::watch_profile);
  port.open();
  port.set_dtr(true);
  port.set_rts(true);
}

}  // namespace

void enter_stage(Dialogue& d, Stage stage) {
  d.report.stage = stage;
  d.panel.report_so_far(d.report);
}

bool open_for_boot_check(Dialogue& d) {
  try {
    configure_and_open(d.panel, d.port, d.report.port);
  } catch (const serial::SerialError& error) {
    d.report.error = error.what();
    d.report.fault = error.fault();
    d.report.outcome = Outcome::open_failed;
    log_status_message(d.panel, StatusMessage::failed_open_com_port);
    close_ignoring_errors(d.port);
    d.panel.enable_control_set();
    d.panel.rebuild_port_list();
    return false;
  }
  log_status_message(d.panel, StatusMessage::power_on);
  return true;
}

void release(Panel& panel, serial::Port& port) {
  if (port.is_open()) port.close();
  panel.enable_control_set();
}

void release_after_device_error(Panel& panel, serial::Port& port) {
  close_ignoring_errors(port);
  panel.enable_control_set();
}

bool stop(Dialogue& d, Outcome why) {
  // A wrong answer that came just as the line went (its bytes returned, the hang-up kept for
  // the next use of the port): the loss goes with the verdict rather than away with the port.
  if (why == Outcome::wrong_answer && d.report.after_verdict_note.empty()) {
    d.report.after_verdict_note = d.port.pending_error();
  }
  release(d.panel, d.port);
  d.report.outcome = why;
  return false;
}

bool stop_on_user_abort(Dialogue& d) {
  log_status_message(d.panel, StatusMessage::user_abort);
  return stop(d, Outcome::aborted);
}

bool stop_if_closed(Dialogue& d) {
  if (!d.panel.close_requested()) return false;
  stop_on_user_abort(d);
  return true;
}

}  // namespace boot
