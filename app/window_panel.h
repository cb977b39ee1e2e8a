#pragma once
// The boot dialogue's view of the window: every call lands on TForm1's widgets.

#include "boot/panel.h"

class TForm1;

namespace app {

class WindowPanel final : public boot::Panel {
 public:
  explicit WindowPanel(TForm1& form) : form_(form) {}

  void clear_log() override;
  void append_log_line(std::string_view text) override;
  void set_progress(int percent) override;
  void disable_control_set() override;
  void enable_control_set() override;
  void set_save_log_visible(bool visible) override;
  void process_pending_messages() override;
  bool abort_flag() const override;
  void set_abort_flag(bool set) override;
  bool close_requested() const override;
  void rebuild_port_list() override;
  void show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen& seen) override;

 private:
  TForm1& form_;
};

}  // namespace app
