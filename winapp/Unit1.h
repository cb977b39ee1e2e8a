#pragma once
// The main window on Windows, TForm1, and its one instance Form1: plain Win32, every control
// a real child window with its caption as its window text.

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boot/boot_check.h"
#include "boot/clock.h"
#include "frontend/loader_choice.h"
#include "frontend/port_list.h"
#include "serial/port.h"
#include "winapp/notice_strip.h"
#include "winapp/skinned_controls.h"

namespace winapp {
class TitleBar;
class WindowPanel;
}  // namespace winapp

// What the window is built with. The program takes the defaults; the demo puts its own parts in.
struct WindowSetup {
  std::unique_ptr<serial::Port> port;  // ComPort1; a serial::SerialPort when empty
  std::unique_ptr<boot::Clock> clock;  // boot::SystemClock when empty
  // Names tried after the platform's COM ports (the demo box).
  std::vector<std::string> extra_port_names;
};

class TForm1 {
 public:
  TForm1(HINSTANCE instance, WindowSetup setup);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND handle() const { return handle_; }
  void show(int show_command);

  // The controls, under their names on the window. The first five are the control set.
  HWND spSkinButton1 = nullptr;    // "Detect DM >>"
  HWND spSkinComboBox1 = nullptr;  // the port list
  HWND spSkinButton2 = nullptr;    // "Detect Port"
  HWND flsmode = nullptr;          // "Flash Mode"
  HWND testmode = nullptr;         // "Test Mode"
  HWND spSkinGroupBox1 = nullptr;  // "Main Interface:"
  HWND spSkinLinkLabel1 = nullptr;
  HWND spSkinButton3 = nullptr;  // "Save Log"
  HWND ComLed2 = nullptr;        // green: the port is open
  HWND ComLed1 = nullptr;        // red: received bytes wait unread
  HWND Memo1 = nullptr;          // the log
  HWND PP = nullptr;             // the upload gauge

  // The handlers.
  void FormCreate();
  void FormKeyDown(WPARAM key);
  void flsmodeClick();
  void testmodeClick();
  void spSkinButton1Click();
  void spSkinButton2Click();
  void spSkinButton3Click();
  void spSkinLinkLabel1Click();
  void FormClose();
  // The system menu's "Loader image…", "Use the built-in stand-in" and "About Pellora".
  void LoaderImageClick();
  void BuiltInLoaderClick();
  void AboutClick();

  // The loader image for Flash Mode from a file; remembered between runs when asked. A file
  // that cannot be used is refused with an error box and the previous choice stays.
  bool choose_loader_file(const std::string& path, bool remember);

  void disable_control_set();
  void enable_control_set();
  void show_progress(int percent);
  void set_save_log_visible(bool visible);
  void clear_log();
  void add_log_line(std::string_view text);
  // Clear the port list, scan, drop the list down. A call while a scan runs does nothing.
  void rebuild_port_list();
  // Along the log's bottom edge, not in the log: what the last check means, the wait hints,
  // where "Save Log" wrote. An empty text takes it away.
  void show_notice(std::string_view text, winapp::NoticeKind kind);
  // Shown in the empty log, with the loader image in use below it.
  void set_log_hint(const std::wstring& hint);
  // The default error box, with its title and text rules.
  void show_error(std::string_view message);

  bool abort_flag() const { return abort_flag_; }
  void set_abort_flag(bool set) { abort_flag_ = set; }
  bool close_requested() const { return close_requested_; }

  // One message through key preview, the dialogue keys (Tab) and the window procedures.
  void dispatch(MSG& message);
  // Everything pending, once, as the boot check asks between its reads.
  void process_pending_messages();

  void toggle_roll_up();
  // Lamps follow the port: ComLed2 while open, ComLed1 while bytes wait unread.
  void update_lamps();

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void on_command(int control_id, int code);
  void on_close();
  void create_controls();
  void place_controls();
  void create_tooltips();
  void paint_frame(HDC dc);
  LRESULT hit_test(POINT screen_point) const;
  void apply_dpi(UINT dpi);
  std::string selected_port() const;
  void add_loader_entries();
  void restore_loader_choice();
  void remember_loader_choice();
  // The loader image in use, where the window tells it: Flash Mode's hint, the empty log,
  // the menu's mark.
  void show_loader_in_use();
  // As a Flash Mode check starts: the chosen file read again, its warnings or the stand-in's
  // note; false when the file cannot be used now, and no check starts.
  bool prepare_loader();
  void set_tooltip(HWND control, const std::wstring& text);
  int window_height() const;
  // Runs a handler; an error escaping it goes to the default error box.
  template <typename Handler>
  void run_guarded(Handler handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      show_error(error.what());
    }
  }

  HINSTANCE instance_;
  HWND handle_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focus_before_deactivation_ = nullptr;
  HWND focus_before_roll_up_ = nullptr;
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  HBRUSH panel_brush_ = nullptr;
  HBRUSH field_brush_ = nullptr;

  winapp::SkinContext skin_;
  std::unique_ptr<serial::Port> port_;
  std::unique_ptr<boot::Clock> clock_;
  frontend::LoaderChoice loader_choice_;
  std::wstring log_hint_;
  std::vector<std::string> extra_port_names_;
  std::vector<frontend::PortEntry> port_entries_;
  std::unique_ptr<winapp::WindowPanel> panel_;
  std::unique_ptr<winapp::NoticeStrip> notice_;
  std::unique_ptr<winapp::TitleBar> title_bar_;
  std::wstring help_page_;

  bool abort_flag_ = false;
  std::wstring temp_dir_;
  bool scan_running_ = false;
  bool boot_check_running_ = false;
  bool close_requested_ = false;
  std::optional<int> quit_code_;  // a WM_QUIT met inside a check, posted again after it
  bool rolled_up_ = false;
  bool link_hot_ = false;
};

// The program's one window.
extern TForm1* Form1;
