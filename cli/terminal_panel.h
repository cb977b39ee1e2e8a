#pragma once
// The boot dialogue's window, on a terminal: log lines on stdout, everything else on
// stderr, Esc and interrupts from the console.

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "boot/panel.h"
#include "boot/report.h"

namespace cli {

// The log and the report as a check has them so far, where another thread can take a copy:
// a second Ctrl-C writes them out while the check itself may be stuck in a read or a write.
class CheckSoFar {
 public:
  void clear_log();
  void append_log(std::string_view text);
  void set_report(const boot::Report& report);

  std::string log_text() const;
  boot::Report report() const;

 private:
  mutable std::mutex mutex_;
  std::string log_text_;
  boot::Report report_;
};

struct TerminalPanelSettings {
  std::function<std::vector<std::string>()> scan_ports;  // the "Detect Port" scan
  std::function<bool()> esc_pressed;                     // polls the keyboard, never waits
  std::function<bool()> interrupted;                     // Ctrl-C or SIGTERM arrived
  // The log lines and nothing else. After a failed write (a reader that quit: EPIPE) no
  // more lines go there; the check and the log file carry on.
  std::FILE* log_out = stdout;
  std::FILE* messages = stderr;  // errors, hints, the progress bar; the same rule
  bool progress_bar = false;     // only when messages go to a terminal
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
  void report_so_far(const boot::Report& report) override { so_far_->set_report(report); }

  // A message of the program's own on stderr, on a line of its own.
  void say(std::string_view text);

  // The log as "Save Log" writes it: every line followed by CR LF.
  const std::string& log_text() const { return log_text_; }
  bool save_log_visible() const { return save_log_visible_; }
  // The same log, and the report as the dialogue last told it, for another thread; it
  // outlives the panel.
  std::shared_ptr<const CheckSoFar> check_so_far() const { return so_far_; }

 private:
  // Ends a progress bar's line so that the next message starts on a line of its own.
  void finish_progress_bar();
  // Writes to the log stream or the message stream until a write to it fails.
  void print_log(std::string_view text);
  void print_message(std::string_view text);

  TerminalPanelSettings settings_;
  std::string log_text_;
  std::shared_ptr<CheckSoFar> so_far_ = std::make_shared<CheckSoFar>();
  bool log_out_failed_ = false;
  bool messages_failed_ = false;
  bool abort_flag_ = false;
  bool close_requested_ = false;
  bool save_log_visible_ = false;
  bool progress_bar_drawn_ = false;
};

}  // namespace cli
