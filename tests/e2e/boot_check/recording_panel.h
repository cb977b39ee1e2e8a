#pragma once
// A window stand-in for driving the boot dialogue in a test: records what the dialogue
// shows, and lets the test press Esc from another thread.

#include <atomic>
#include <string>
#include <vector>

#include "boot/panel.h"

namespace e2e {

class RecordingPanel final : public boot::Panel {
 public:
  void clear_log() override { lines.clear(); }
  void append_log_line(std::string_view text) override { lines.emplace_back(text); }
  void set_progress(int percent) override { progress.push_back(percent); }
  void disable_control_set() override { controls_enabled = false; }
  void enable_control_set() override { controls_enabled = true; }
  void set_save_log_visible(bool visible) override { save_log_visible = visible; }
  void process_pending_messages() override {
    if (esc_pressed_.exchange(false)) abort_flag_ = true;
  }
  bool abort_flag() const override { return abort_flag_; }
  void set_abort_flag(bool set) override { abort_flag_ = set; }
  bool close_requested() const override { return false; }
  void rebuild_port_list() override { ++port_list_rebuilds; }
  void show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen&) override {
    hints.push_back(hint);
  }

  // Safe from any thread; the dialogue sees it the next time it processes messages.
  void press_esc() { esc_pressed_ = true; }

  std::vector<std::string> lines;
  std::vector<int> progress;
  std::vector<boot::WaitHint> hints;
  bool controls_enabled = true;
  bool save_log_visible = false;
  int port_list_rebuilds = 0;

 private:
  bool abort_flag_ = false;
  std::atomic<bool> esc_pressed_{false};
};

}  // namespace e2e
