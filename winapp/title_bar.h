#pragma once
// The window's own title bar, as the Qt window has: the system menu button, the caption,
// minimise and close. It is painted in the window's client area, which answers HTCAPTION
// there, so dragging it moves the window; a double-click rolls the window up to it and back.
// The buttons are windows of their own whose window text names them; they take no focus and
// send WM_COMMAND BN_CLICKED to the window (the menu button on the press, as a system menu
// opens).

#include <windows.h>

#include <optional>
#include <string_view>

#include "winapp/skin.h"

namespace winapp {

// At 96 DPI: the window's frame around the bar and its client area, and the bar's height.
inline constexpr int window_frame_width = 1;
inline constexpr int title_bar_height = 28;

class TitleBar {
 public:
  // The buttons go on the window; the system menu becomes the window's own.
  TitleBar(HINSTANCE instance, HWND window);

  HWND menu_button() const { return menu_button_; }
  HWND minimise_button() const { return minimise_button_; }
  HWND close_button() const { return close_button_; }

  // width: the window's client width.
  void place(const Scale& scale, int width) const;
  void paint(HDC dc, std::wstring_view caption, const Fonts& fonts, const Scale& scale,
             int width) const;
  bool contains(POINT client_point, const Scale& scale) const;

  // Below the menu button, or where the mouse was.
  void show_system_menu(std::optional<POINT> at = std::nullopt) const;
  // The menu's entry says which way the next roll goes.
  void show_rolled_up(bool rolled_up) const;

  // An entry of the window's own in the system menu, before "Close" (command 0: a line).
  void add_menu_entry(UINT command, const wchar_t* text) const;
  // The radio mark on one of a run of entries.
  void mark_menu_entry(UINT first, UINT last, UINT marked) const;
  void enable_menu_entry(UINT command, bool enabled) const;

 private:
  HWND window_;
  HWND menu_button_;
  HWND minimise_button_;
  HWND close_button_;
};

}  // namespace winapp
