#pragma once
// Everything the boot dialogue needs from its window, and nothing more. The Qt window, the
// terminal front end and the tests' recording fake implement it.

#include <string>
#include <string_view>

namespace boot {

enum class Mode { none, flash, test };

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

  // Lets the window handle what is pending (Esc, repaints) once, then returns.
  virtual void process_pending_messages() = 0;

  // Set by Esc; tested by the waits.
  virtual bool abort_flag() const = 0;
  virtual void set_abort_flag(bool set) = 0;
  // The user closed the window (or interrupted the terminal): the check ends at its next step.
  virtual bool close_requested() const = 0;

  // The port list's selected entry; empty when nothing is selected.
  virtual std::string selected_port() const = 0;
  virtual Mode selected_mode() const = 0;
  // Clear the port list, scan, drop the list down (the "Detect Port" sequence).
  virtual void rebuild_port_list() = 0;

  // A failure the log's fixed texts cannot say (a device lost mid-check), in the serial
  // error's words.
  virtual void report_error(std::string_view message) = 0;
};

}  // namespace boot
