#include "boot/dialogue.h"

#include "boot/boot_port.h"
#include "boot/log_text.h"

namespace boot {

bool stop(Dialogue& dialogue, Outcome why) {
  release(dialogue.panel, dialogue.port);
  dialogue.outcome = why;
  return false;
}

bool stop_on_user_abort(Dialogue& dialogue) {
  log_status_message(dialogue.panel, StatusMessage::user_abort);
  return stop(dialogue, Outcome::aborted);
}

bool window_still_open(Dialogue& dialogue) {
  if (!dialogue.panel.close_requested()) return true;
  return stop_on_user_abort(dialogue);
}

}  // namespace boot
