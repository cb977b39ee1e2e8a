#include "winapp/window_panel.h"

#include "frontend/diagnosis.h"
#include "winapp/Unit1.h"

namespace winapp {

void WindowPanel::clear_log() {
  form_.clear_log();
}

void WindowPanel::append_log_line(std::string_view text) {
  form_.add_log_line(text);
}

void WindowPanel::set_progress(int percent) {
  form_.show_progress(percent);
}

void WindowPanel::disable_control_set() {
  form_.disable_control_set();
}

void WindowPanel::enable_control_set() {
  form_.enable_control_set();
}

void WindowPanel::set_save_log_visible(bool visible) {
  form_.set_save_log_visible(visible);
}

void WindowPanel::process_pending_messages() {
  form_.process_pending_messages();
}

bool WindowPanel::abort_flag() const {
  return form_.abort_flag();
}

void WindowPanel::set_abort_flag(bool set) {
  form_.set_abort_flag(set);
}

bool WindowPanel::close_requested() const {
  return form_.close_requested();
}

void WindowPanel::rebuild_port_list() {
  form_.rebuild_port_list();
}

void WindowPanel::show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen& seen) {
  form_.show_notice(frontend::wait_hint_text(hint, seen), NoticeKind::hint);
}

}  // namespace winapp
