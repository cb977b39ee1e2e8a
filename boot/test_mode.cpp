#include "boot/test_mode.h"

#include <chrono>

#include "boot/banner_watch.h"
#include "boot/log_text.h"

namespace boot {

using std::chrono_literals::operator""ms;

bool test_capture(Dialogue& d) {
  // The banner, without a hardware-identity line in this mode.
  watch_for_banner(d.panel, d.port);
  if (!leave_banner_watch(d)) return false;

  // Wake the console; what it prints goes to the log as it came, line breaks and all.
  if (!window_still_open(d)) return false;
  d.port.write(wake_up_burst);
  add_line(d.panel, d.port.read(60));

  // One more return, one more answer.
  if (!window_still_open(d)) return false;
  d.port.write(single_return);
  add_line(d.panel, d.port.read(40));

  // Done; the port stays open.
  d.clock.sleep_for(1650ms);
  d.panel.process_pending_messages();
  d.panel.enable_control_set();
  return true;
}

}  // namespace boot
