#pragma once
// What the boot dialogue does to its window at its points in the sequence, and nothing a
// caller could pass in. The Qt window, the Windows window, the terminal and the tests'
// recording fake implement it.

#include <string_view>

#include "boot/report.h"

namespace boot {

class Panel {
 public:
  virtual ~Panel() = default;

  virtual void clear_log() = 0;
  // One log line; the text holds no zero byte (the dialogue cuts there) and the panel adds
  // the CR LF line end.
  virtual void append_log_line(std::string_view text) = 0;

  // The gauge, 0..100.
  virtual void set_progress(int percent) = 0;

  // "Detect DM >>", the port list, "Detect Port", "Flash Mode", "Test Mode", in that order.
  virtual void disable_control_set() = 0;
  virtual void enable_control_set() = 0;
  virtual void set_save_log_visible(bool visible) = 0;

  // Lets the window handle what is pending (Esc, repaints, a close) once, then returns.
  virtual void process_pending_messages() = 0;

  // Set by Esc; tested by the waits.
  virtual bool abort_flag() const = 0;
  virtual void set_abort_flag(bool set) = 0;
  // The user closed the window (or interrupted the terminal): the check ends at its next step.
  virtual bool close_requested() const = 0;

  // Clear the port list, scan, drop the list down: the open failure path's "Detect Port".
  virtual void rebuild_port_list() = 0;

  // While the banner watch waits: what the line has brought so far, for a hint beside the
  // log (never in it). WaitHint::none takes the hint away.
  virtual void show_wait_hint(WaitHint hint, const BannerWatchSeen& seen) = 0;

  // The report as it stands, each time the check moves on or the banner watch reads: for a
  // front end that may have to end at once (a second Ctrl-C) and still say how far it got.
  virtual void report_so_far(const Report& report) { (void)report; }
};

}  // namespace boot
