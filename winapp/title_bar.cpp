#include "winapp/title_bar.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "winapp/control_ids.h"
#include "winapp/skinned_controls.h"

namespace winapp {

namespace {

constexpr wchar_t title_button_class[] = L"PelloraTitleButton";
constexpr int button_width = 22;
constexpr int button_height = 20;

struct TitleButton {
  bool hot = false;
  bool pressed = false;
};

void draw_title_glyph(HDC dc, int id_of_button, const RECT& rect, const Scale& scale) {
  const int box = scale(16);
  const int left = rect.left + (rect.right - rect.left - box) / 2;
  const int top = rect.top + (rect.bottom - rect.top - box) / 2;
  if (id_of_button == id::menu_button) {
    draw_app_picture(dc, RECT{left, top, left + box, top + box});
    return;
  }
  // Lines, not font glyphs: Wine draws some symbol characters as boxes.
  const auto at = [&](double x, double y) {
    return POINT{left + static_cast<int>(std::lround(x * box / 16.0)),
                 top + static_cast<int>(std::lround(y * box / 16.0))};
  };
  HPEN pen = CreatePen(PS_SOLID, std::max(1, scale(3) / 2), colour::title_glyph);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  const auto line = [&](POINT from, POINT to) {
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
  };
  if (id_of_button == id::minimise_button) {
    line(at(4.5, 11), at(11.5, 11));
  } else {
    line(at(4.5, 4.5), at(11.5, 11.5));
    line(at(11.5, 4.5), at(4.5, 11.5));
  }
  SelectObject(dc, old_pen);
  DeleteObject(pen);
}

void notify_click(HWND button) {
  SendMessageW(GetParent(button), WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

LRESULT CALLBACK title_button_proc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<TitleButton*>(GetWindowLongPtrW(button, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TitleButton));
      break;
    case WM_NCDESTROY:
      delete state;
      SetWindowLongPtrW(button, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = BeginPaint(button, &paint);
      const SkinContext* skin = skin_of(button);
      if (skin && state) {
        RECT rect{};
        GetClientRect(button, &rect);
        BufferedPaint buffer(target, rect);
        HDC dc = buffer.dc();
        // The title bar's gradient, continued behind the button.
        RECT in_parent = rect;
        MapWindowPoints(button, GetParent(button), reinterpret_cast<POINT*>(&in_parent), 2);
        const double bar = skin->scale(title_bar_height);
        const auto shade = [&](LONG y) {
          return blend(colour::title_top, colour::title_bottom,
                       std::clamp((y - skin->scale(window_frame_width)) / bar, 0.0, 1.0));
        };
        fill_gradient(dc, rect, shade(in_parent.top), shade(in_parent.bottom));
        if (state->hot || state->pressed) {
          const COLORREF hover =
              GetDlgCtrlID(button) == id::close_button ? colour::close_hover : colour::title_hover;
          fill_rounded(dc, rect, skin->scale(4), hover, hover, hover);
        }
        draw_title_glyph(dc, GetDlgCtrlID(button), rect, skin->scale);
      }
      EndPaint(button, &paint);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state && !state->hot) {
        state->hot = true;
        track_mouse_leave(button);
        InvalidateRect(button, nullptr, FALSE);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (state) state->hot = false;
      InvalidateRect(button, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (GetDlgCtrlID(button) == id::menu_button) {
        // The menu opens on the press, as a system menu does.
        notify_click(button);
        return 0;
      }
      if (state) state->pressed = true;
      SetCapture(button);
      InvalidateRect(button, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const bool was_pressed = state && state->pressed;
      if (GetCapture() == button) ReleaseCapture();
      RECT rect{};
      GetClientRect(button, &rect);
      const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (was_pressed && PtInRect(&rect, point)) notify_click(button);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (state) state->pressed = false;
      InvalidateRect(button, nullptr, FALSE);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(button, message, wparam, lparam);
}

HWND create_button(HINSTANCE instance, HWND window, const wchar_t* name, int control_id) {
  return CreateWindowExW(0, title_button_class, name, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), instance,
                         nullptr);
}

}  // namespace

TitleBar::TitleBar(HINSTANCE instance, HWND window) : window_(window) {
  register_control_class(instance, title_button_class, title_button_proc);
  menu_button_ = create_button(instance, window, L"Menu", id::menu_button);
  minimise_button_ = create_button(instance, window, L"Minimise", id::minimise_button);
  close_button_ = create_button(instance, window, L"Close", id::close_button);

  HMENU menu = GetSystemMenu(window_, FALSE);
  // The window cannot be sized or maximised.
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  int minimise_at = 0;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (GetMenuItemID(menu, i) == SC_MINIMIZE) minimise_at = i;
  }
  InsertMenuW(menu, static_cast<UINT>(minimise_at + 1), MF_BYPOSITION | MF_STRING, command::roll_up,
              L"Roll up");
}

void TitleBar::add_menu_entry(UINT command_id, const wchar_t* text) const {
  HMENU menu = GetSystemMenu(window_, FALSE);
  // Before the line that comes before "Close".
  int close_at = GetMenuItemCount(menu);
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (GetMenuItemID(menu, i) == SC_CLOSE) close_at = i;
  }
  const UINT at = static_cast<UINT>(close_at > 0 ? close_at - 1 : 0);
  if (command_id == 0) {
    InsertMenuW(menu, at, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  } else {
    InsertMenuW(menu, at, MF_BYPOSITION | MF_STRING, command_id, text);
  }
}

void TitleBar::mark_menu_entry(UINT first, UINT last, UINT marked) const {
  CheckMenuRadioItem(GetSystemMenu(window_, FALSE), first, last, marked, MF_BYCOMMAND);
}

void TitleBar::enable_menu_entry(UINT command_id, bool enabled) const {
  EnableMenuItem(GetSystemMenu(window_, FALSE), command_id,
                 static_cast<UINT>(MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)));
}

void TitleBar::place(const Scale& scale, int width) const {
  const int top = scale(window_frame_width + 4);
  const int close_left = width - scale(window_frame_width + 2 + button_width);
  const int minimise_left = close_left - scale(2 + button_width);
  MoveWindow(menu_button_, scale(window_frame_width + 4), top, scale(button_width),
             scale(button_height), TRUE);
  MoveWindow(minimise_button_, minimise_left, top, scale(button_width), scale(button_height), TRUE);
  MoveWindow(close_button_, close_left, top, scale(button_width), scale(button_height), TRUE);
}

void TitleBar::paint(HDC dc, std::wstring_view caption, const Fonts& fonts, const Scale& scale,
                     int width) const {
  const int frame = scale(window_frame_width);
  const RECT bar{frame, frame, width - frame, frame + scale(title_bar_height)};
  fill_gradient(dc, bar, colour::title_top, colour::title_bottom);
  RECT caption_rect = bar;
  caption_rect.left += scale(4 + button_width + 2 + 4 + 2);
  RECT minimise{};
  GetWindowRect(minimise_button_, &minimise);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&minimise), 2);
  caption_rect.right = minimise.left - scale(4);
  draw_text(dc, caption, caption_rect, fonts.bold(), colour::title_text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

bool TitleBar::contains(POINT client_point, const Scale& scale) const {
  return client_point.y >= scale(window_frame_width) &&
         client_point.y < scale(window_frame_width + title_bar_height);
}

void TitleBar::show_system_menu(std::optional<POINT> at) const {
  HMENU menu = GetSystemMenu(window_, FALSE);
  const bool minimised = IsIconic(window_) != FALSE;
  constexpr auto enabled = static_cast<UINT>(MF_BYCOMMAND | MF_ENABLED);
  constexpr auto greyed = static_cast<UINT>(MF_BYCOMMAND | MF_GRAYED);
  EnableMenuItem(menu, SC_RESTORE, minimised ? enabled : greyed);
  EnableMenuItem(menu, SC_MOVE, minimised ? greyed : enabled);
  EnableMenuItem(menu, SC_MINIMIZE, minimised ? greyed : enabled);
  POINT where{};
  if (at) {
    where = *at;
  } else {
    RECT below{};
    GetWindowRect(menu_button_, &below);
    where = POINT{below.left, below.bottom};
  }
  const auto command = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, where.x,
                     where.y, 0, window_, nullptr));
  if (command != 0) SendMessageW(window_, WM_SYSCOMMAND, command, 0);
}

void TitleBar::show_rolled_up(bool rolled_up) const {
  ModifyMenuW(GetSystemMenu(window_, FALSE), command::roll_up, MF_BYCOMMAND | MF_STRING,
              command::roll_up, rolled_up ? L"Roll down" : L"Roll up");
}

}  // namespace winapp
