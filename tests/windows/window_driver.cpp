// Drives pellora.exe from outside, the way a person does: it finds the controls by their
// captions, clicks them with the mouse (SendInput), presses Esc, reads what the window shows
// and dismisses any message box. Runs in the same Wine prefix as the window.
//
// usage: pellora-window-driver.exe STEP...
// Each step is VERB or VERB=ARG or VERB=ARG|ARG; a CAPTION of the form #N names the control
// with id N instead (the port list, the log, the gauge). The steps run in order and the first that
// fails ends the run (exit status 1). A message box nobody asked for fails the step that
// meets it, and is dismissed all the same. Steps:
//   wait-window=SECONDS           the window is up
//   click=CAPTION                 a control or title bar button, by its caption
//   select-port=NAME              pick the port from the (dropped) port list
//   key=esc                       Esc to the window
//   wait-log-line=TEXT|SECONDS    a log line equal to TEXT appears
//   wait-enabled=CAPTION|SECONDS  the control becomes usable
//   expect-enabled=CAPTION|0/1, expect-visible=CAPTION|0/1, expect-checked=CAPTION|0/1
//   expect-lamp=CAPTION|0/1       a status lamp is lit or not
//   expect-gauge=PERCENT          the gauge's value
//   expect-ports=COUNT            the port list's item count
//   expect-dropped=0/1            the port list is dropped down
//   expect-focus-in-window        the keyboard focus is on one of the window's controls
//   write-log=FILE                the log pane's text, as UTF-8
//   write-diagnosis=FILE          the diagnosis area's text, as UTF-8
//   dismiss-box=FILE|SECONDS      a message box comes up: its title, a line break and its
//                                 text go to FILE, and its OK button is clicked
//   system-command=NAME           an entry of the window's own in its system menu: roll-up,
//                                 loader-file, built-in-loader, about
//   choose-file=PATH|SECONDS      the file dialog titled "Loader image" comes up; the path
//                                 goes into its file name field and "Open" is clicked
//   no-error=SECONDS              no message box comes up in that time
//   wait-exit=SECONDS             the window has gone and its process has ended
//   double-click-title            a double-click on the title bar (rolls the window up or down)
//   drag-title=DX|DY              the title bar dragged by so many pixels
//   close-window                  the window asked to close (WM_CLOSE), as the taskbar does
//   expect-window-at=X|Y          the window's top-left corner on the screen
//   expect-window-size=W|H        the window's outer size
//   expect-place=CAPTION|X|Y|W|H  a control's place and size in its parent's client area
//   expect-focus=CAPTION          the keyboard focus is on that control
//   expect-minimised=0/1
//   hold-file=FILE                open the file as an editor that locks it would, until
//   release-file                  it is released: no other program may replace it meanwhile
//   snapshot=FILE|COPY            a copy of the file as it is now
//   make-temp-file=NAME           a file of that name in the temporary folder
//   expect-temp-file=NAME|0/1     whether it is there
//   screenshot=FILE.png           the window (and a dropped list) as the screen shows it
//   sleep=MILLISECONDS

#include <windows.h>

#include <commctrl.h>
#include <gdiplus.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "winapp/control_ids.h"
#include "winapp/status_lamp.h"

namespace {

constexpr wchar_t window_caption[] = L"Pellora By Vantrosk";
using Clock = std::chrono::steady_clock;

struct Failure {
  std::string why;
};

std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), count,
                      nullptr, nullptr);
  return utf8;
}

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int count =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), count);
  return wide;
}

// A control's text through WM_GETTEXT, which Windows carries across processes.
std::wstring text_of(HWND window) {
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::wstring class_of(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

class Driver {
 public:
  int run(const std::vector<std::string>& steps) {
    int status = 0;
    for (const std::string& step : steps) {
      try {
        perform(step);
        std::printf("ok    %s\n", step.c_str());
      } catch (const Failure& failure) {
        std::printf("FAIL  %s: %s\n", step.c_str(), failure.why.c_str());
        status = 1;
        break;
      }
      std::fflush(stdout);
    }
    // Whatever happened, no message box is left waiting for a person.
    while (HWND box = message_box()) dismiss(box);
    std::fflush(stdout);
    return status;
  }

 private:
  HWND form_ = nullptr;
  DWORD process_id_ = 0;
  HANDLE held_ = INVALID_HANDLE_VALUE;

  static std::wstring temp_folder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, buffer);
    return buffer;
  }

  void drag_title(int dx, int dy) {
    RECT rect{};
    GetWindowRect(form_, &rect);
    POINT point{rect.left + (rect.right - rect.left) / 2, rect.top + 12};
    SetForegroundWindow(form_);
    SetCursorPos(point.x, point.y);
    pause();
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    pause();
    // In steps, as a hand moves, so the system's move loop follows.
    constexpr int steps = 5;
    for (int i = 1; i <= steps; ++i) {
      SetCursorPos(point.x + dx * i / steps, point.y + dy * i / steps);
      send_mouse(MOUSEEVENTF_MOVE);
      pause();
    }
    send_mouse(MOUSEEVENTF_LEFTUP);
    wait_for_window_change(rect);
  }

  // Input is read after the messages a driver sends: the window shows the gesture's effect
  // when it has taken it.
  void wait_for_window_change(const RECT& before) {
    const auto end = Clock::now() + std::chrono::seconds(3);
    RECT now = before;
    while (EqualRect(&now, &before) && Clock::now() < end) {
      pause();
      GetWindowRect(form_, &now);
    }
  }

  void double_click_title() {
    RECT rect{};
    GetWindowRect(form_, &rect);
    // Beside the caption, clear of the title bar's buttons.
    const POINT point{rect.left + (rect.right - rect.left) / 2, rect.top + 12};
    SetForegroundWindow(form_);
    SetCursorPos(point.x, point.y);
    pause();
    for (int i = 0; i < 2; ++i) {
      send_mouse(MOUSEEVENTF_LEFTDOWN);
      send_mouse(MOUSEEVENTF_LEFTUP);
    }
    wait_for_window_change(rect);
  }

  void perform(const std::string& step) {
    const std::size_t equals = step.find('=');
    const std::string verb = step.substr(0, equals);
    std::vector<std::string> args;
    if (equals != std::string::npos) {
      std::string rest = step.substr(equals + 1);
      for (std::size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1)) {
        args.push_back(rest.substr(0, bar));
      }
      args.push_back(rest);
    }
    const auto arg = [&](std::size_t i) -> const std::string& {
      if (i >= args.size()) throw Failure{"missing argument"};
      return args[i];
    };
    const auto seconds = [&](std::size_t i) {
      return std::chrono::duration<double>(std::stod(arg(i)));
    };
    const auto flag = [&](std::size_t i) { return arg(i) == "1"; };

    if (verb == "wait-window") return wait_window(seconds(0));
    if (verb != "dismiss-box") check_no_message_box();
    if (verb == "click") return click(control(arg(0)));
    if (verb == "select-port") return select_port(arg(0));
    if (verb == "key") return press_escape();
    if (verb == "wait-log-line") return wait_log_line(arg(0), seconds(1));
    if (verb == "wait-enabled") {
      HWND target = control(arg(0));
      return wait_until([&] { return IsWindowEnabled(target) != FALSE; }, seconds(1),
                        "it stays disabled");
    }
    if (verb == "expect-enabled") {
      return expect(IsWindowEnabled(control(arg(0))) != FALSE, flag(1), "enabled");
    }
    if (verb == "expect-visible") {
      return expect(IsWindowVisible(control(arg(0))) != FALSE, flag(1), "visible");
    }
    if (verb == "expect-checked") {
      return expect(SendMessageW(control(arg(0)), BM_GETCHECK, 0, 0) == BST_CHECKED, flag(1),
                    "checked");
    }
    if (verb == "expect-lamp") {
      return expect(SendMessageW(control(arg(0)), winapp::lamp_is_lit, 0, 0) != 0, flag(1), "lit");
    }
    if (verb == "expect-gauge") {
      const auto value = SendMessageW(by_id(winapp::id::gauge), PBM_GETPOS, 0, 0);
      if (std::to_string(value) != arg(0))
        throw Failure{"the gauge shows " + std::to_string(value)};
      return;
    }
    if (verb == "expect-ports") {
      const auto count = SendMessageW(by_id(winapp::id::port_list), CB_GETCOUNT, 0, 0);
      if (std::to_string(count) != arg(0)) throw Failure{"the list holds " + std::to_string(count)};
      return;
    }
    if (verb == "expect-dropped") {
      return expect(SendMessageW(by_id(winapp::id::port_list), CB_GETDROPPEDSTATE, 0, 0) != 0,
                    flag(0), "dropped down");
    }
    if (verb == "expect-focus-in-window") {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      GetGUIThreadInfo(GetWindowThreadProcessId(form_, nullptr), &info);
      if (!info.hwndFocus || !IsChild(form_, info.hwndFocus)) {
        throw Failure{"the focus is on no control of the window"};
      }
      return;
    }
    if (verb == "write-log")
      return write_file(arg(0), narrow(text_of(by_id(winapp::id::log_pane))));
    if (verb == "write-diagnosis") {
      return write_file(arg(0), narrow(text_of(by_id(winapp::id::diagnosis))));
    }
    if (verb == "system-command") {
      const std::string& name = arg(0);
      const unsigned command = name == "roll-up"           ? winapp::command::roll_up
                               : name == "loader-file"     ? winapp::command::loader_file
                               : name == "built-in-loader" ? winapp::command::built_in_loader
                               : name == "about"           ? winapp::command::about
                                                           : 0u;
      if (command == 0) throw Failure{"no such entry"};
      // Posted: an entry may open a dialog, which the next steps work.
      PostMessageW(form_, WM_SYSCOMMAND, command, 0);
      return;
    }
    if (verb == "choose-file") return choose_file(arg(0), seconds(1));
    if (verb == "dismiss-box") {
      HWND box = nullptr;
      wait_until([&] { return (box = message_box()) != nullptr; }, seconds(1),
                 "no message box came up", false);
      write_file(arg(0), narrow(text_of(box)) + "\n" + narrow(message_box_text(box)));
      return dismiss(box);
    }
    if (verb == "no-error") {
      const auto end = Clock::now() + seconds(0);
      while (Clock::now() < end) {
        check_no_message_box();
        pause();
      }
      return;
    }
    if (verb == "wait-exit") return wait_exit(seconds(0));
    if (verb == "double-click-title") return double_click_title();
    if (verb == "drag-title") return drag_title(std::stoi(arg(0)), std::stoi(arg(1)));
    if (verb == "close-window") {
      PostMessageW(form_, WM_CLOSE, 0, 0);
      return;
    }
    if (verb == "expect-window-at" || verb == "expect-window-size") {
      RECT rect{};
      GetWindowRect(form_, &rect);
      const bool at = verb == "expect-window-at";
      const long first = at ? rect.left : rect.right - rect.left;
      const long second = at ? rect.top : rect.bottom - rect.top;
      if (std::to_string(first) != arg(0) || std::to_string(second) != arg(1)) {
        throw Failure{"the window's is " + std::to_string(first) + "|" + std::to_string(second)};
      }
      return;
    }
    if (verb == "expect-place") {
      HWND target = control(arg(0));
      RECT rect{};
      GetWindowRect(target, &rect);
      MapWindowPoints(nullptr, GetParent(target), reinterpret_cast<POINT*>(&rect), 2);
      const std::string place = std::to_string(rect.left) + "|" + std::to_string(rect.top) + "|" +
                                std::to_string(rect.right - rect.left) + "|" +
                                std::to_string(rect.bottom - rect.top);
      if (place != arg(1) + "|" + arg(2) + "|" + arg(3) + "|" + arg(4)) {
        throw Failure{"it is at " + place};
      }
      return;
    }
    if (verb == "expect-focus") {
      HWND target = control(arg(0));
      // The window may still be handling what moved the focus.
      HWND focus = nullptr;
      const auto end = Clock::now() + std::chrono::seconds(2);
      do {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(form_, nullptr), &info);
        focus = info.hwndFocus;
        if (focus == target) return;
        pause();
      } while (Clock::now() < end);
      throw Failure{"the focus is on " +
                    (focus ? narrow(class_of(focus)) + " #" + std::to_string(GetDlgCtrlID(focus))
                           : std::string("nothing"))};
    }
    if (verb == "expect-minimised") return expect(IsIconic(form_) != FALSE, flag(0), "minimised");
    if (verb == "hold-file") {
      held_ = CreateFileW(widen(arg(0)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, 0, nullptr);
      if (held_ == INVALID_HANDLE_VALUE) throw Failure{"cannot open " + arg(0)};
      return;
    }
    if (verb == "release-file") {
      if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
      held_ = INVALID_HANDLE_VALUE;
      return;
    }
    if (verb == "snapshot") {
      if (!CopyFileW(widen(arg(0)).c_str(), widen(arg(1)).c_str(), FALSE)) {
        throw Failure{"cannot copy " + arg(0)};
      }
      return;
    }
    if (verb == "make-temp-file") return write_file(narrow(temp_folder()) + arg(0), "stale");
    if (verb == "expect-temp-file") {
      const std::wstring path = temp_folder() + widen(arg(0));
      return expect(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, flag(1),
                    "in the temporary folder");
    }
    if (verb == "screenshot") return screenshot(arg(0));
    if (verb == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(arg(0))));
      return;
    }
    throw Failure{"unknown step"};
  }

  static void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

  static void expect(bool actual, bool wanted, const char* what) {
    if (actual != wanted) throw Failure{std::string(wanted ? "not " : "") + what};
  }

  void wait_until(const std::function<bool()>& done, std::chrono::duration<double> limit,
                  const std::string& why, bool boxes_fail = true) {
    const auto end = Clock::now() + limit;
    for (;;) {
      if (boxes_fail) check_no_message_box();
      if (done()) return;
      if (Clock::now() >= end) throw Failure{why};
      pause();
    }
  }

  void wait_window(std::chrono::duration<double> limit) {
    wait_until(
        [&] {
          form_ = FindWindowW(L"PelloraForm", window_caption);
          return form_ && IsWindowVisible(form_);
        },
        limit, "the window did not come up", false);
    GetWindowThreadProcessId(form_, &process_id_);
    // Up, and done with what it does as it opens.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
  }

  HWND control(const std::string& caption) {
    if (!form_) throw Failure{"no window yet"};
    if (caption.size() > 1 && caption[0] == '#') return by_id(std::stoi(caption.substr(1)));
    struct Search {
      std::wstring caption;
      HWND found = nullptr;
    } search{widen(caption)};
    EnumChildWindows(
        form_,
        [](HWND child, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          wchar_t text[128] = {};
          GetWindowTextW(child, text, 128);
          if (s->caption == text) {
            s->found = child;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) throw Failure{"no control captioned \"" + caption + "\""};
    return search.found;
  }

  HWND by_id(int id) {
    if (!form_) throw Failure{"no window yet"};
    struct Search {
      int id;
      HWND found = nullptr;
    } search{id};
    EnumChildWindows(
        form_,
        [](HWND child, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          if (GetDlgCtrlID(child) != s->id) return TRUE;
          s->found = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) throw Failure{"no control with id " + std::to_string(id)};
    return search.found;
  }

  // The window's top-level windows of a class: a message box (#32770), the dropped list.
  HWND top_level_of_class(const wchar_t* wanted_class) const {
    struct Search {
      DWORD process;
      const wchar_t* wanted;
      HWND found = nullptr;
    } search{process_id_, wanted_class};
    if (!process_id_) return nullptr;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD process = 0;
          GetWindowThreadProcessId(window, &process);
          if (process == s->process && IsWindowVisible(window) && class_of(window) == s->wanted) {
            s->found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // A message box is a dialog with its text in a static control of id 0xFFFF; a file
  // dialog is one too, without it.
  HWND message_box() const {
    HWND dialog = top_level_of_class(L"#32770");
    return dialog && GetDlgItem(dialog, 0xFFFF) ? dialog : nullptr;
  }

  void choose_file(const std::string& path, std::chrono::duration<double> limit) {
    HWND dialog = nullptr;
    wait_until(
        [&] {
          dialog = top_level_of_class(L"#32770");
          return dialog && text_of(dialog) == L"Loader image";
        },
        limit, "no file dialog came up");
    // The file name field: a combo box (cmb13) in the Explorer-style dialog, an edit (edt1)
    // in the older one.
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (!name) throw Failure{"the file dialog has no file name field"};
    const std::wstring wide = widen(path);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    HWND open = GetDlgItem(dialog, IDOK);
    if (!open) throw Failure{"the file dialog has no Open button"};
    click_at_centre_of(open, dialog);
    wait_until([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); },
               std::chrono::seconds(5), "the file dialog stays open", false);
  }

  static std::wstring message_box_text(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? text_of(text) : std::wstring();
  }

  void check_no_message_box() {
    if (HWND box = message_box()) {
      const std::string text = narrow(text_of(box)) + ": " + narrow(message_box_text(box));
      dismiss(box);
      throw Failure{"a message box came up: " + text};
    }
  }

  void dismiss(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    if (!ok) ok = GetDlgItem(box, IDCANCEL);
    if (ok) {
      click_at_centre_of(ok, box);
      const auto end = Clock::now() + std::chrono::seconds(3);
      while (IsWindow(box) && IsWindowVisible(box) && Clock::now() < end) pause();
    }
    if (IsWindow(box) && IsWindowVisible(box)) PostMessageW(box, WM_COMMAND, IDOK, 0);
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (IsWindow(box) && IsWindowVisible(box) && Clock::now() < end) pause();
  }

  static void send_mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
  }

  // A click, and then the wait until the window has taken it: input is read after the
  // messages a driver sends, so without the wait the next step could look too early. A
  // button shows when it has seen the press and the release.
  void click_at(POINT point, HWND top_level, HWND button = nullptr) {
    SetForegroundWindow(top_level);
    SetCursorPos(point.x, point.y);
    pause();
    const auto pushed = [button] {
      DWORD_PTR state = 0;
      SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_BLOCK, 1000, &state);
      return (state & BST_PUSHED) != 0;
    };
    const auto wait_for = [](const std::function<bool()>& done) {
      const auto end = Clock::now() + std::chrono::seconds(2);
      while (!done() && Clock::now() < end) pause();
    };
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    if (button) wait_for(pushed);
    send_mouse(MOUSEEVENTF_LEFTUP);
    if (button) {
      wait_for([&] { return !IsWindow(button) || !pushed(); });
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(top_level, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &ignored);
  }

  void click_at_centre_of(HWND control_window, HWND top_level) {
    RECT rect{};
    GetWindowRect(control_window, &rect);
    const HWND button = class_of(control_window) == L"Button" ? control_window : nullptr;
    click_at(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, top_level, button);
  }

  void click(HWND target) {
    if (!IsWindowVisible(target)) throw Failure{"the control is hidden"};
    click_at_centre_of(target, form_);
  }

  void select_port(const std::string& name) {
    HWND list = by_id(winapp::id::port_list);
    const std::wstring wide = widen(name);
    const auto index = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(wide.c_str()));
    if (index < 0) throw Failure{"the port list has no " + name};
    HWND dropped = top_level_of_class(L"ComboLBox");
    if (!dropped) {
      click(list);
      wait_until([&] { return (dropped = top_level_of_class(L"ComboLBox")) != nullptr; },
                 std::chrono::seconds(3), "the list did not drop down");
    }
    const auto top = SendMessageW(dropped, LB_GETTOPINDEX, 0, 0);
    if (index < top || index >= top + 8)
      SendMessageW(dropped, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    const auto row = SendMessageW(dropped, LB_GETITEMHEIGHT, 0, 0);
    RECT client{};
    GetClientRect(dropped, &client);
    POINT point{
        client.left + 12,
        static_cast<LONG>((index - SendMessageW(dropped, LB_GETTOPINDEX, 0, 0)) * row + row / 2)};
    ClientToScreen(dropped, &point);
    click_at(point, form_);
    wait_until([&] { return SendMessageW(list, CB_GETCURSEL, 0, 0) == index; },
               std::chrono::seconds(3), "the port was not selected");
  }

  void press_escape() {
    SetForegroundWindow(form_);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    pause();
  }

  void wait_log_line(const std::string& line, std::chrono::duration<double> limit) {
    HWND log = by_id(winapp::id::log_pane);
    const std::wstring wanted = widen(line);
    wait_until(
        [&] {
          const std::wstring text = text_of(log);
          std::size_t start = 0;
          for (;;) {
            const std::size_t end = text.find(L"\r\n", start);
            if (text.compare(start, end == std::wstring::npos ? std::wstring::npos : end - start,
                             wanted) == 0) {
              return true;
            }
            if (end == std::wstring::npos) return false;
            start = end + 2;
          }
        },
        limit, "the log never showed it");
  }

  void wait_exit(std::chrono::duration<double> limit) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id_);
    const auto milliseconds = static_cast<DWORD>(limit.count() * 1000);
    if (process) {
      const DWORD waited = WaitForSingleObject(process, milliseconds);
      CloseHandle(process);
      if (waited != WAIT_OBJECT_0) throw Failure{"the program is still running"};
    } else {
      wait_until([&] { return !IsWindow(form_); }, limit, "the window is still there", false);
    }
  }

  static void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    if (!file) throw Failure{"cannot write " + path};
  }

  void screenshot(const std::string& path) {
    RECT area{};
    GetWindowRect(form_, &area);
    if (HWND dropped = top_level_of_class(L"ComboLBox")) {
      RECT list{};
      GetWindowRect(dropped, &list);
      UnionRect(&area, &area, &list);
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    bool saved = false;
    {
      Gdiplus::Bitmap picture(bitmap, nullptr);
      // The PNG encoder's class id.
      const CLSID png = {
          0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
      saved = picture.Save(widen(path).c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    DeleteObject(bitmap);
    if (!saved) throw Failure{"cannot save " + path};
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> steps(argv + 1, argv + argc);
  if (steps.empty()) {
    std::fprintf(stderr, "usage: pellora-window-driver STEP...\n");
    return 2;
  }
  // Screen coordinates as they are, whatever DPI the window runs at.
  SetProcessDPIAware();
  return Driver().run(steps);
}
