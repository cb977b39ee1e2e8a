#pragma once
// The boot dialogue's window, on a terminal: log lines on stdout, everything else on
// stderr, Esc and interrupts from the console.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "boot/panel.h"

namespace cli {

struct TerminalPanelSettings {
  std::function<std::vector<std::string>()> scan_ports;  // the "Detect Port" scan
  std::function<bool()> esc_pressed;                     // polls the keyboard, never waits
  std::function<bool()> interrupted;                     // Ctrl-C or SIGTERM arrived
  std::FILE* log_out = stdout;                           // the log lines and nothing else
  std::FILE* messages = stderr;                          // errors, hints, the progress bar
  bool progress_bar = false;                             // only when messages go to a terminal
  // For log lines going to a terminal, which the box's bytes could otherwise drive (escape
  // sequences): control characters other than tab, CR and LF are shown as ^X.
  bool show_controls = false;
};

class TerminalPanel final : public boot::Panel {
 public:
  explicit TerminalPanel(TerminalPanelSettings settings);
  ~TerminalPanel() override;

  void clear_log() override;
  void append_log_line(std::string_view text) override;
  void set_progress(int percent) override;
  void disable_control_set() override {}
  void enable_control_set() override {}
  void set_save_log_visible(bool visible) override { save_log_visible_ = visible; }
  void process_pending_messages() override;
  bool abort_flag() const override { return abort_flag_; }
  void set_abort_flag(bool set) override { abort_flag_ = set; }
  // A signal is seen at once, not only when messages are processed: the terminal has no
  // queue that would hold it for later.
  bool close_requested() const override {
    return close_requested_ || (settings_.interrupted && settings_.interrupted());
  }
  void rebuild_port_list() override;
  // A live hint goes to stderr once, as "hint: ..."; taking it away prints nothing.
  void show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen& seen) override;

  // A message of the program's own on stderr, on a line of its own.
  void say(std::string_view text);

  // The log as "Save Log" writes it: every line followed by CR LF.
  const std::string& log_text() const { return log_text_; }
  bool save_log_visible() const { return save_log_visible_; }

 private:
  // Ends a progress bar's line so that the next message starts on a line of its own.
  void finish_progress_bar();

  TerminalPanelSettings settings_;
  std::string log_text_;
  bool abort_flag_ = false;
  bool close_requested_ = false;
  bool save_log_visible_ = false;
  bool progress_bar_drawn_ = false;
};

}  // namespace cli
