#include "winapp/Unit1.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <array>
#include <exception>
#include <utility>

#include "frontend/diagnosis.h"
#include "frontend/file_write.h"
#include "frontend/program.h"
#include "serial/serial_port.h"
#include "winapp/control_ids.h"
#include "winapp/link_label.h"
#include "winapp/log_pane.h"
#include "winapp/status_lamp.h"
#include "winapp/title_bar.h"
#include "winapp/win_text.h"
#include "winapp/window_panel.h"

TForm1* Form1 = nullptr;

namespace {

using winapp::Scale;
namespace colour = winapp::colour;
namespace id = winapp::id;

constexpr wchar_t form_class[] = L"PelloraForm";
constexpr wchar_t caption[] = L"Pellora By Vantrosk";

// The window at 96 DPI: a one-pixel frame around the title bar and the client area.
constexpr int client_width = 610;
constexpr int client_height = 345;
constexpr int frame_width = winapp::window_frame_width;
constexpr int title_bar_height = winapp::title_bar_height;
constexpr POINT opening_position{322, 198};
constexpr RECT group_box_place{1, 1, 606, 338};  // in the client area: left, top, width, height

constexpr UINT_PTR lamp_timer = 1;
constexpr UINT lamp_interval_ms = 100;

struct Placement {
  HWND TForm1::*control;
  RECT place;  // left, top, width, height inside the group box, at 96 DPI
};

constexpr std::array placements{
    Placement{&TForm1::spSkinButton1, {4, 33, 121, 25}},
    Placement{&TForm1::flsmode, {153, 29, 150, 25}},
    Placement{&TForm1::testmode, {153, 49, 150, 25}},
    Placement{&TForm1::spSkinLinkLabel1, {329, 31, 97, 17}},
    Placement{&TForm1::spSkinComboBox1, {440, 25, 161, 22}},
    Placement{&TForm1::spSkinButton2, {441, 49, 159, 17}},
    Placement{&TForm1::spSkinButton3, {5, 74, 120, 20}},
    Placement{&TForm1::ComLed2, {487, 73, 25, 25}},
    Placement{&TForm1::ComLed1, {527, 73, 25, 25}},
    Placement{&TForm1::Memo1, {4, 104, 592, 209}},
    Placement{&TForm1::PP, {4, 315, 601, 21}},
};

// Rows the port list shows when dropped.
constexpr int port_list_rows = 8;
constexpr int port_list_row_height = 20;

UINT dpi_before_window() {
  // Wine answers with the DPI it is set to, whatever the manifest says, so the window is
  // sized from the DPI read now rather than trusting the system to scale it.
  using DpiForSystem = UINT(WINAPI*)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (auto dpi_for_system = reinterpret_cast<DpiForSystem>(
          reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))) {
    return dpi_for_system();
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UINT dpi_of_window(HWND window, UINT fallback) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (auto dpi_for_window = reinterpret_cast<DpiForWindow>(
          reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))) {
    const UINT dpi = dpi_for_window(window);
    if (dpi > 0) return dpi;
  }
  return fallback;
}

std::wstring full_path_of(const wchar_t* name) {
  const DWORD needed = GetFullPathNameW(name, 0, nullptr, nullptr);
  if (needed == 0) return name;
  std::wstring path(needed, L'\0');
  const DWORD length = GetFullPathNameW(name, needed, path.data(), nullptr);
  path.resize(length);
  return path;
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, WindowSetup setup)
    : instance_(instance),
      port_(setup.port ? std::move(setup.port) : std::make_unique<serial::SerialPort>()),
      clock_(setup.clock ? std::move(setup.clock) : std::make_unique<boot::SystemClock>()),
      extra_port_names_(std::move(setup.extra_port_names)),
      panel_(std::make_unique<winapp::WindowPanel>(*this)),
      help_page_(winapp::help_page_address()) {
  Form1 = this;
  skin_.scale.dpi = dpi_before_window();
  skin_.fonts = std::make_unique<winapp::Fonts>(skin_.scale.dpi);
  panel_brush_ = CreateSolidBrush(colour::panel);
  field_brush_ = CreateSolidBrush(colour::field);
  big_icon_ = winapp::make_app_icon(GetSystemMetrics(SM_CXICON));
  small_icon_ = winapp::make_app_icon(GetSystemMetrics(SM_CXSMICON));

  winapp::register_group_box_class(instance_);
  winapp::register_lamp_class(instance_);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = &TForm1::window_proc;
  window_class.hInstance = instance_;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hIcon = big_icon_;
  window_class.hIconSm = small_icon_;
  window_class.lpszClassName = form_class;
  RegisterClassExW(&window_class);

  const Scale& scale = skin_.scale;
  // No caption or sizing frame of the system's: the title bar is our own, and the window is
  // not resizable and has no maximise button.
  CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, form_class, caption,
                  WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                  scale(opening_position.x), scale(opening_position.y),
                  scale(client_width + 2 * frame_width), window_height(), nullptr, nullptr,
                  instance_, this);
  if (!handle_) throw std::runtime_error("Cannot create the window");
  winapp::attach_skin(handle_, skin_);
  title_bar_ = std::make_unique<winapp::TitleBar>(instance_, handle_);
  create_controls();
  create_tooltips();
  add_loader_entries();
  restore_loader_choice();
  show_loader_in_use();
  const UINT actual_dpi = dpi_of_window(handle_, skin_.scale.dpi);
  if (actual_dpi != skin_.scale.dpi) apply_dpi(actual_dpi);
  SetTimer(handle_, lamp_timer, lamp_interval_ms, nullptr);
  FormCreate();
}

TForm1::~TForm1() {
  if (handle_) DestroyWindow(handle_);
  for (HICON icon : {big_icon_, small_icon_}) DestroyIcon(icon);
  DeleteObject(panel_brush_);
  DeleteObject(field_brush_);
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::show(int show_command) {
  ShowWindow(handle_, show_command);
  UpdateWindow(handle_);
  SetFocus(Memo1);
}

int TForm1::window_height() const {
  const Scale& scale = skin_.scale;
  return scale(2 * frame_width + title_bar_height) + (rolled_up_ ? 0 : scale(client_height));
}

void TForm1::create_controls() {
  const auto child = [this](const wchar_t* window_class, const wchar_t* text, DWORD style,
                            int control_id, HWND parent, void* create_data = nullptr) {
    return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), instance_,
                           create_data);
  };
  spSkinGroupBox1 = CreateWindowExW(
      WS_EX_CONTROLPARENT, winapp::group_box_class, L"Main Interface:",
      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, handle_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::group_box)), instance_, nullptr);
  HWND box = spSkinGroupBox1;

  // Created in tab order (the log first, as it has the focus when the window opens); a
  // WS_GROUP starts each group for the arrow keys, the two radio boxes making one.
  Memo1 = child(L"EDIT", L"",
                WS_TABSTOP | WS_GROUP | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL |
                    ES_WANTRETURN,
                id::log_pane, box);
  spSkinButton1 =
      child(L"BUTTON", L"Detect DM >>", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, id::detect_dm, box);
  flsmode = child(L"BUTTON", L"Flash Mode", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
                  id::flash_mode, box);
  testmode = child(L"BUTTON", L"Test Mode", WS_TABSTOP | BS_AUTORADIOBUTTON, id::test_mode, box);
  spSkinComboBox1 = child(
      L"COMBOBOX", L"",
      WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
      id::port_list, box);
  spSkinButton2 =
      child(L"BUTTON", L"Detect Port", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, id::detect_port, box);
  spSkinButton3 =
      child(L"BUTTON", L"Save Log", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, id::save_log, box);
  spSkinLinkLabel1 = child(L"STATIC", L"Forum / Support",
                           WS_GROUP | SS_NOTIFY | SS_LEFT | SS_NOPREFIX, id::link_label, box);
  ComLed2 = child(winapp::lamp_class, L"Port open", WS_GROUP, id::port_lamp, box,
                  reinterpret_cast<void*>(static_cast<UINT_PTR>(colour::port_lamp)));
  ComLed1 = child(winapp::lamp_class, L"Received bytes waiting", 0, id::receive_lamp, box,
                  reinterpret_cast<void*>(static_cast<UINT_PTR>(colour::receive_lamp)));
  PP = child(PROGRESS_CLASSW, L"", PBS_SMOOTH, id::gauge, box);
  notice_ = std::make_unique<winapp::NoticeStrip>(instance_, box, Memo1, id::diagnosis, skin_);

  using winapp::SkinnedKind;
  winapp::skin_control(spSkinButton1, SkinnedKind::primary_button, skin_, colour::panel);
  winapp::skin_control(spSkinButton2, SkinnedKind::push_button, skin_, colour::panel);
  winapp::skin_control(spSkinButton3, SkinnedKind::push_button, skin_, colour::panel);
  winapp::skin_control(flsmode, SkinnedKind::radio_box, skin_, colour::panel);
  winapp::skin_control(testmode, SkinnedKind::radio_box, skin_, colour::panel);
  winapp::skin_control(spSkinComboBox1, SkinnedKind::port_list, skin_, colour::panel);
  winapp::skin_control(PP, SkinnedKind::gauge, skin_, colour::panel);
  winapp::skin_control(Memo1, SkinnedKind::log_pane, skin_, colour::panel);
  winapp::make_link_label(spSkinLinkLabel1, link_hot_);

  SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);  // no 30,000-character cap on the log
  SendMessageW(PP, PBM_SETRANGE32, 0, 100);
  SendMessageW(PP, PBM_SETPOS, 0, 0);
  SendMessageW(spSkinComboBox1, CB_SETMINVISIBLE, port_list_rows, 0);
  EnableWindow(spSkinButton1, FALSE);
  ShowWindow(spSkinButton3, SW_HIDE);
  apply_dpi(skin_.scale.dpi);
}

void TForm1::place_controls() {
  const Scale& scale = skin_.scale;
  const int width = scale(client_width + 2 * frame_width);
  title_bar_->place(scale, width);

  const int client_top = scale(frame_width + title_bar_height);
  MoveWindow(spSkinGroupBox1, scale(frame_width + group_box_place.left),
             client_top + scale(group_box_place.top), scale(group_box_place.right),
             scale(group_box_place.bottom), TRUE);
  for (const Placement& placement : placements) {
    const RECT& place = placement.place;
    int height = scale(place.bottom);
    // A drop-down list's height is that of its dropped list; the closed field is set below.
    if (placement.control == &TForm1::spSkinComboBox1) {
      height += scale(port_list_rows * port_list_row_height + 2);
    }
    MoveWindow(this->*placement.control, scale(place.left), scale(place.top), scale(place.right),
               height, TRUE);
  }
  // The closed field takes the height its place gives it. Only the field's item height can
  // be set, and what the control adds around it differs (Wine reports the item height back
  // two pixels higher than it was set), so it is measured.
  SendMessageW(spSkinComboBox1, CB_SETITEMHEIGHT, 0, scale(port_list_row_height));
  int field_item_height = scale(22) - 6;
  for (int attempt = 0; attempt < 3; ++attempt) {
    SendMessageW(spSkinComboBox1, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field_item_height);
    RECT field{};
    GetWindowRect(spSkinComboBox1, &field);
    const int off_by = scale(22) - static_cast<int>(field.bottom - field.top);
    if (off_by == 0 || field_item_height + off_by <= 0) break;
    field_item_height += off_by;
  }
  SendMessageW(Memo1, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
               MAKELPARAM(scale(2), scale(2)));
}

void TForm1::apply_dpi(UINT dpi) {
  skin_.scale.dpi = dpi;
  skin_.fonts = std::make_unique<winapp::Fonts>(dpi);
  const auto set_font = [](HWND control, HFONT font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  };
  for (HWND control :
       {spSkinButton1, flsmode, testmode, spSkinComboBox1, spSkinButton2, spSkinButton3, PP}) {
    set_font(control, skin_.fonts->window());
  }
  set_font(spSkinLinkLabel1, skin_.fonts->link());
  set_font(Memo1, skin_.fonts->log());
  place_controls();
  if (notice_) notice_->place();
  winapp::fit_port_list_width(spSkinComboBox1, skin_);
  if (tooltip_)
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.fonts->window()), TRUE);
  RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void TForm1::create_tooltips() {
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr, instance_, nullptr);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, skin_.scale(420));
  const std::wstring link_hint = L"Join Us at : " + help_page_;
  const std::array<std::pair<HWND, const wchar_t*>, 12> hints{{
      {spSkinButton1, L"Start the check, then switch the box on. Esc aborts the wait."},
      {flsmode, L"Upload the loader and ask it whether the flash answers"},
      {testmode, L"Only wake the console and show what the box prints"},
      {spSkinLinkLabel1, link_hint.c_str()},
      {spSkinComboBox1, L"The serial port the box is wired to"},
      {spSkinButton2, L"List the serial ports that can be opened"},
      {spSkinButton3, L"Write the log to Log.log in the current folder"},
      {ComLed2, L"Port open"},
      {ComLed1, L"Received bytes waiting"},
      {title_bar_->menu_button(), L"Menu"},
      {title_bar_->minimise_button(), L"Minimise"},
      {title_bar_->close_button(), L"Close"},
  }};
  for (const auto& [control, text] : hints) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TForm1::FormCreate() {
  // Key preview: dispatch() sees every key before the focused control does.
  abort_flag_ = false;
  std::array<wchar_t, 260> buffer{};
  const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  temp_dir_.assign(buffer.data(), length < buffer.size() ? length : 0);
}

void TForm1::FormKeyDown(WPARAM key) {
  if (key == VK_ESCAPE) abort_flag_ = true;
}

// A click queued just before a check disabled the control set still reaches its control when
// the check lets messages through; it must not make "Detect DM >>" usable, or scan the port,
// under the running check.
void TForm1::flsmodeClick() {
  if (!boot_check_running_) EnableWindow(spSkinButton1, TRUE);
}

void TForm1::testmodeClick() {
  if (!boot_check_running_) EnableWindow(spSkinButton1, TRUE);
}

void TForm1::spSkinButton1Click() {
  if (boot_check_running_ || scan_running_) return;
  boot::Mode mode;
  if (Button_GetCheck(flsmode) == BST_CHECKED) {
    mode = boot::Mode::flash;
  } else if (Button_GetCheck(testmode) == BST_CHECKED) {
    mode = boot::Mode::test;
  } else {
    return;  // the button is usable only once a mode is chosen
  }
  notice_->hide();
  // A file that cannot be read now starts no check: the port stays as it is.
  if (mode == boot::Mode::flash && !prepare_loader()) return;
  boot_check_running_ = true;
  // The image views the choice's bytes: the choice stays as it is until the check ends.
  for (const UINT entry : {winapp::command::loader_file, winapp::command::built_in_loader}) {
    title_bar_->enable_menu_entry(entry, false);
  }
  const boot::CheckRequest request{selected_port(), mode, loader_choice_.image()};
  std::optional<boot::Report> report;
  run_guarded([&] { report = boot::run_boot_check(*panel_, *port_, *clock_, request); });
  boot_check_running_ = false;
  for (const UINT entry : {winapp::command::loader_file, winapp::command::built_in_loader}) {
    title_bar_->enable_menu_entry(entry, true);
  }
  update_lamps();
  if (report) {
    const bool good =
        report->outcome == boot::Outcome::success && report->after_verdict_note.empty();
    show_notice(frontend::diagnosis(*report),
                good ? winapp::NoticeKind::good : winapp::NoticeKind::trouble);
    // The dialogue has released the port already; the box says why it went.
    if (report->outcome == boot::Outcome::device_error && !close_requested_) {
      show_error(report->error);
    }
  }
  // The window was closed during the check: it ends now that the check has (once this
  // click has been handled, so that no control goes away under its own message).
  if (close_requested_) PostMessageW(handle_, WM_CLOSE, 0, 0);
}

void TForm1::spSkinButton2Click() {
  if (boot_check_running_) return;
  run_guarded([this] { rebuild_port_list(); });
}

void TForm1::spSkinButton3Click() {
  run_guarded([this] {
    const std::string path =
        winapp::narrow(full_path_of(winapp::widen(frontend::log_file_name).c_str()));
    const std::optional<std::string> reason =
        frontend::write_file(path, winapp::log_bytes_of(Memo1));
    if (reason) {
      show_error(frontend::save_log_error_text(path, *reason));
    } else {
      show_notice("Log saved to " + path, winapp::NoticeKind::info);
    }
  });
}

void TForm1::spSkinLinkLabel1Click() {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(handle_, L"open", help_page_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) show_error("Cannot open the help page " + winapp::narrow(help_page_));
}

void TForm1::FormClose() {
  const std::wstring stale_file = temp_dir_ + L"dmb";
  if (GetFileAttributesW(stale_file.c_str()) != INVALID_FILE_ATTRIBUTES) {
    DeleteFileW(stale_file.c_str());
  }
}

void TForm1::on_close() {
  if (boot_check_running_) {
    // The check ends at its next step and spSkinButton1Click closes the window then.
    abort_flag_ = true;
    close_requested_ = true;
    return;
  }
  FormClose();
  DestroyWindow(handle_);
}

void TForm1::disable_control_set() {
  // A disabled control with the focus would leave Esc nowhere to go.
  const HWND focus = GetFocus();
  for (HWND control : {spSkinButton1, spSkinComboBox1, spSkinButton2, flsmode, testmode}) {
    if (control == focus) {
      SetFocus(IsWindowVisible(Memo1) ? Memo1 : handle_);
      break;
    }
  }
  for (HWND control : {spSkinButton1, spSkinComboBox1, spSkinButton2, flsmode, testmode}) {
    EnableWindow(control, FALSE);
  }
}

void TForm1::enable_control_set() {
  for (HWND control : {spSkinButton1, spSkinComboBox1, spSkinButton2, flsmode, testmode}) {
    EnableWindow(control, TRUE);
  }
}

void TForm1::show_progress(int percent) {
  SendMessageW(PP, PBM_SETRANGE32, 0, 100);
  SendMessageW(PP, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  UpdateWindow(PP);
}

void TForm1::set_save_log_visible(bool visible) {
  if (!visible && GetFocus() == spSkinButton3) SetFocus(Memo1);
  ShowWindow(spSkinButton3, visible ? SW_SHOW : SW_HIDE);
}

void TForm1::clear_log() {
  SetWindowTextW(Memo1, L"");
}

void TForm1::add_log_line(std::string_view text) {
  winapp::append_log_line(Memo1, text);
}

void TForm1::rebuild_port_list() {
  // The scan processes no messages itself, but a click queued meanwhile must not start a
  // second scan from inside a check's message processing.
  if (scan_running_) return;
  scan_running_ = true;
  struct ScanEnd {
    bool& running;
    ~ScanEnd() { running = false; }
  } scan_end{scan_running_};

  SendMessageW(spSkinComboBox1, CB_RESETCONTENT, 0, 0);
  winapp::set_port_descriptions(spSkinComboBox1, {});
  UpdateWindow(spSkinComboBox1);
  port_entries_ = frontend::scan_port_list(*port_, extra_port_names_);
  std::vector<std::wstring> descriptions;
  for (const frontend::PortEntry& entry : port_entries_) {
    const std::wstring name = winapp::widen(entry.name);
    SendMessageW(spSkinComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    descriptions.push_back(winapp::widen(entry.description));
  }
  winapp::set_port_descriptions(spSkinComboBox1, std::move(descriptions));
  winapp::fit_port_list_width(spSkinComboBox1, skin_);
  // The user picks the port; the list does not pick one for them.
  SendMessageW(spSkinComboBox1, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  update_lamps();
  if (!port_entries_.empty()) {
    if (IsWindowEnabled(spSkinComboBox1)) SetFocus(spSkinComboBox1);
    SendMessageW(spSkinComboBox1, CB_SHOWDROPDOWN, TRUE, 0);
  }
}

void TForm1::show_notice(std::string_view text, winapp::NoticeKind kind) {
  notice_->show(winapp::widen(text), kind);
}

void TForm1::set_log_hint(const std::wstring& hint) {
  log_hint_ = hint;
  show_loader_in_use();
}

void TForm1::show_error(std::string_view message) {
  const std::wstring title =
      winapp::widen(frontend::error_box_title(winapp::narrow(winapp::program_file())));
  const std::wstring text = winapp::widen(frontend::error_box_text(message));
  MessageBoxW(handle_, text.c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
}

std::string TForm1::selected_port() const {
  const auto index = SendMessageW(spSkinComboBox1, CB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<std::size_t>(index) >= port_entries_.size()) return {};
  return port_entries_[static_cast<std::size_t>(index)].name;
}

void TForm1::dispatch(MSG& message) {
  if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
      (message.hwnd == handle_ || IsChild(handle_, message.hwnd))) {
    FormKeyDown(message.wParam);  // the key goes on to the focused control
  }
  if (IsDialogMessageW(handle_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void TForm1::process_pending_messages() {
  update_lamps();
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The program is asked to end: the check ends at its next step, then the program.
      quit_code_ = static_cast<int>(message.wParam);
      abort_flag_ = true;
      close_requested_ = true;
      return;
    }
    dispatch(message);
  }
}

void TForm1::toggle_roll_up() {
  rolled_up_ = !rolled_up_;
  // The focus waits on the window itself while the controls are away (Esc still reaches the
  // key preview there), and goes back where it was when they return.
  if (rolled_up_) {
    const HWND focus = GetFocus();
    focus_before_roll_up_ = IsChild(spSkinGroupBox1, focus) ? focus : nullptr;
    if (focus_before_roll_up_) SetFocus(handle_);
  }
  ShowWindow(spSkinGroupBox1, rolled_up_ ? SW_HIDE : SW_SHOW);
  SetWindowPos(handle_, nullptr, 0, 0, skin_.scale(client_width + 2 * frame_width), window_height(),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  title_bar_->show_rolled_up(rolled_up_);
  if (!rolled_up_ && (GetFocus() == handle_ || GetFocus() == nullptr)) {
    HWND focus = focus_before_roll_up_;
    if (!focus || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) focus = Memo1;
    SetFocus(focus);
  }
  InvalidateRect(handle_, nullptr, TRUE);
}

void TForm1::update_lamps() {
  const bool open = port_->is_open();
  bool bytes_waiting = false;
  if (open) {
    try {
      bytes_waiting = port_->bytes_waiting() > 0;
    } catch (const std::exception&) {
      // A lamp has nothing to say about a failing device; the next read will.
    }
  }
  SendMessageW(ComLed2, winapp::lamp_set_lit, open, 0);
  SendMessageW(ComLed1, winapp::lamp_set_lit, bytes_waiting, 0);
}

void TForm1::paint_frame(HDC target) {
  RECT all{};
  GetClientRect(handle_, &all);
  winapp::BufferedPaint buffer(target, all);
  HDC dc = buffer.dc();
  const Scale& scale = skin_.scale;
  winapp::fill_rect(dc, all, colour::frame);
  const int frame = scale(frame_width);
  RECT client{frame, frame + scale(title_bar_height), all.right - frame, all.bottom - frame};
  if (client.bottom > client.top) winapp::fill_rect(dc, client, colour::window);
  if (title_bar_) title_bar_->paint(dc, caption, *skin_.fonts, scale, all.right);
}

LRESULT TForm1::hit_test(POINT screen_point) const {
  POINT point = screen_point;
  ScreenToClient(handle_, &point);
  // The system moves the window while the title bar is dragged.
  return title_bar_ && title_bar_->contains(point, skin_.scale) ? HTCAPTION : HTCLIENT;
}

void TForm1::on_command(int control_id, int code) {
  switch (control_id) {
    case id::detect_dm:
      if (code == BN_CLICKED) spSkinButton1Click();
      break;
    case id::flash_mode:
      if (code == BN_CLICKED) flsmodeClick();
      break;
    case id::test_mode:
      if (code == BN_CLICKED) testmodeClick();
      break;
    case id::detect_port:
      if (code == BN_CLICKED) spSkinButton2Click();
      break;
    case id::save_log:
      if (code == BN_CLICKED) spSkinButton3Click();
      break;
    case id::link_label:
      if (code == STN_CLICKED) spSkinLinkLabel1Click();
      break;
    case id::menu_button:
      title_bar_->show_system_menu();
      break;
    case id::minimise_button:
      ShowWindow(handle_, SW_MINIMIZE);
      break;
    case id::close_button:
      SendMessageW(handle_, WM_CLOSE, 0, 0);
      break;
    default:
      break;  // IDOK and IDCANCEL from the dialogue keys: nothing
  }
}

LRESULT CALLBACK TForm1::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<TForm1*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wparam, lparam);
  return form->handle_message(message, wparam, lparam);
}

LRESULT TForm1::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(handle_, &paint);
      paint_frame(dc);
      EndPaint(handle_, &paint);
      return 0;
    }
    case WM_NCHITTEST:
      return hit_test(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
    case WM_NCLBUTTONDBLCLK:
      if (wparam == HTCAPTION) {
        toggle_roll_up();
        return 0;
      }
      break;
    case WM_CONTEXTMENU: {
      POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (reinterpret_cast<HWND>(wparam) == handle_ && hit_test(point) == HTCAPTION) {
        title_bar_->show_system_menu(point);
        return 0;
      }
      break;
    }
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case winapp::command::roll_up:
          toggle_roll_up();
          return 0;
        case winapp::command::loader_file:
          LoaderImageClick();
          return 0;
        case winapp::command::built_in_loader:
          BuiltInLoaderClick();
          return 0;
        case winapp::command::about:
          AboutClick();
          return 0;
        default:
          break;
      }
      break;
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item->CtlID == static_cast<UINT>(id::port_list)) {
        winapp::measure_port_item(*item, skin_);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlID == static_cast<UINT>(id::port_list)) {
        winapp::draw_port_item(*item, skin_);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLOREDIT: {
      // The log: rgb(0,123,183) on white.
      auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, colour::accent);
      SetBkColor(dc, colour::field);
      return reinterpret_cast<LRESULT>(field_brush_);
    }
    case WM_CTLCOLORSTATIC: {
      // A read-only EDIT asks here too.
      auto dc = reinterpret_cast<HDC>(wparam);
      const auto control = reinterpret_cast<HWND>(lparam);
      if (control == spSkinLinkLabel1) {
        SetTextColor(dc, link_hot_ ? colour::accent_light : colour::accent);
      } else {
        SetTextColor(dc, colour::text);
      }
      SetBkColor(dc, colour::panel);
      return reinterpret_cast<LRESULT>(panel_brush_);
    }
    case WM_CTLCOLORLISTBOX: {
      auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, colour::text);
      SetBkColor(dc, colour::field);
      return reinterpret_cast<LRESULT>(field_brush_);
    }
    case WM_TIMER:
      if (wparam == lamp_timer) update_lamps();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        focus_before_deactivation_ = IsChild(handle_, focus) ? focus : nullptr;
      } else {
        HWND focus = focus_before_deactivation_;
        if (!focus || !IsWindow(focus) || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) {
          focus = IsWindowVisible(Memo1) ? Memo1 : handle_;
        }
        SetFocus(focus);
      }
      return 0;
    case WM_DPICHANGED: {
      apply_dpi(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                   skin_.scale(client_width + 2 * frame_width), window_height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      on_close();
      return 0;
    case WM_DESTROY:
      KillTimer(handle_, lamp_timer);
      PostQuitMessage(quit_code_.value_or(0));
      return 0;
    case WM_NCDESTROY: {
      const HWND window = handle_;
      handle_ = nullptr;
      return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(handle_, message, wparam, lparam);
}
