#pragma once
// A panel that records every call in the shared trace and keeps the state a window would.

#include <functional>
#include <string>
#include <vector>

#include "boot/clock.h"
#include "boot/panel.h"
#include "trace.h"

namespace boot_test {

class RecordingPanel final : public boot::Panel {
 public:
  explicit RecordingPanel(Trace& trace) : trace_(trace) {}

  // The window's state, as a test sets it up.
  bool abort = false;
  bool close = false;
  // Called each time the window gets to process its messages, with the 0-based count:
  // where a user's Esc or close would be noticed.
  std::function<void(int)> on_messages;

  // What the window shows.
  std::vector<std::string> log;  // lines since the last clear
  std::vector<int> progress;     // every value the gauge was set to
  bool controls_enabled = true;
  bool save_log_visible = false;
  int port_list_rebuilds = 0;
  std::vector<boot::WaitHint> hints;  // every hint shown, none included
  // The report as it was last told, and each stage it was told at, once per change.
  boot::Report told;
  std::vector<boot::Stage> stages_told;

  void clear_log() override;
  void append_log_line(std::string_view text) override;
  void set_progress(int percent) override;
  void disable_control_set() override;
  void enable_control_set() override;
  void set_save_log_visible(bool visible) override;
  void process_pending_messages() override;
  bool abort_flag() const override { return abort; }
  void set_abort_flag(bool set) override;
  bool close_requested() const override { return close; }
  void rebuild_port_list() override;
  void show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen& seen) override;
  void report_so_far(const boot::Report& report) override;

 private:
  Trace& trace_;
  int messages_processed_ = 0;
};

// Time passes only when a test says so: in sleeps, and as the scripted port's reads wait.
class FakeClock final : public boot::Clock {
 public:
  explicit FakeClock(Trace& trace) : trace_(trace) {}
  std::vector<long> sleeps_ms;
  time_point now() const override { return now_; }
  void sleep_for(std::chrono::milliseconds duration) override {
    trace_.add("clock.sleep " + std::to_string(duration.count()));
    sleeps_ms.push_back(static_cast<long>(duration.count()));
    now_ += duration;
  }
  void advance(std::chrono::milliseconds duration) { now_ += duration; }

 private:
  Trace& trace_;
  time_point now_{};
};

}  // namespace boot_test
