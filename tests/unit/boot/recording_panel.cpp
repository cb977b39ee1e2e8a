#include "recording_panel.h"

namespace boot_test {

void RecordingPanel::clear_log() {
  trace_.add("panel.clear_log");
  log.clear();
}

void RecordingPanel::append_log_line(std::string_view text) {
  trace_.add("panel.line " + std::string(text));
  log.emplace_back(text);
}

void RecordingPanel::set_progress(int percent) {
  trace_.add("panel.progress " + std::to_string(percent));
  progress.push_back(percent);
}

void RecordingPanel::disable_control_set() {
  trace_.add("panel.disable_control_set");
  controls_enabled = false;
}

void RecordingPanel::enable_control_set() {
  trace_.add("panel.enable_control_set");
  controls_enabled = true;
}

void RecordingPanel::set_save_log_visible(bool visible) {
  trace_.add(visible ? "panel.save_log shown" : "panel.save_log hidden");
  save_log_visible = visible;
}

void RecordingPanel::process_pending_messages() {
  trace_.add("panel.messages");
  if (on_messages) on_messages(messages_processed_);
  ++messages_processed_;
}

void RecordingPanel::set_abort_flag(bool set) {
  trace_.add(set ? "panel.abort set" : "panel.abort cleared");
  abort = set;
}

void RecordingPanel::rebuild_port_list() {
  trace_.add("panel.rebuild_port_list");
  ++port_list_rebuilds;
}

void RecordingPanel::show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen&) {
  trace_.add("panel.hint " + std::to_string(static_cast<int>(hint)));
  hints.push_back(hint);
}

void RecordingPanel::report_so_far(const boot::Report& report) {
  if (stages_told.empty() || stages_told.back() != report.stage) {
    stages_told.push_back(report.stage);
  }
  told = report;
}

}  // namespace boot_test
