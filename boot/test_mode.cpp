#include "boot/test_mode.h"

#include "boot/banner_watch.h"
#include "boot/log_text.h"

namespace boot {

bool test_capture(Dialogue& d) {
  // The banner, without a hardware-identity line in this mode.
  watch_for_banner(d);
  if (!leave_banner_watch(d)) return false;

  // Wake the console; what it prints goes to the log as it came, line breaks and all.
  enter_stage(d, Stage::console);
  if (stop_if_closed(d)) return false;
  d.port.write(wake_up_burst);
  add_line(d.panel, d.port.read(burst_answer_read_size));

  // One more return, one more answer.
  if (stop_if_closed(d)) return false;
  d.port.write(single_return);
  add_line(d.panel, d.port.read(return_answer_read_size));

  // Done; the port stays open.
  d.clock.sleep_for(console_settle_pause);
  d.panel.process_pending_messages();
  d.panel.enable_control_set();
  return true;
}

}  // namespace boot
