#include "boot/boot_port.h"

#include "boot/log_text.h"
#include "boot/progress.h"
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

void configure_and_open(Panel& panel, serial::Port& port) {
  reset_progress(panel);
  port.set_baud_rate(serial::boot_baud_rate);
  port.set_stop_bits(serial::StopBits::one);
  const std::string name = panel.selected_port();
  if (name.empty()) throw serial::SerialError("no port chosen");
  port.set_port(name);
  port.set_timeouts(serial::watch_profile);
  port.open();
  port.set_dtr(true);
  port.set_rts(true);
}

}  // namespace

bool open_for_boot_check(Panel& panel, serial::Port& port) {
  try {
    configure_and_open(panel, port);
  } catch (const serial::SerialError&) {
    log_status_message(panel, StatusMessage::failed_open_com_port);
    close_ignoring_errors(port);
    panel.enable_control_set();
    panel.rebuild_port_list();
    return false;
  }
  log_status_message(panel, StatusMessage::power_on);
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

}  // namespace boot
