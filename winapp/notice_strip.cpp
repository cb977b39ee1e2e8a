#include "winapp/notice_strip.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace winapp {

namespace {

constexpr wchar_t strip_class[] = L"PelloraNotice";
constexpr wchar_t close_class[] = L"PelloraNoticeClose";
constexpr int close_id = 1;

struct KindLook {
  COLORREF background;
  COLORREF border;
};

// The skin's colours for each kind of notice.
KindLook look_of(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::hint:
      return {RGB(0xff, 0xf6, 0xdc), RGB(0xe0, 0xb4, 0x4c)};
    case NoticeKind::good:
      return {RGB(0xe8, 0xf6, 0xec), RGB(0x5c, 0xb8, 0x7a)};
    case NoticeKind::trouble:
      return {RGB(0xfd, 0xec, 0xea), RGB(0xd9, 0x77, 0x6b)};
    case NoticeKind::info:
      break;
  }
  return {RGB(0xee, 0xf5, 0xfa), colour::panel_border};
}

struct CloseButton {
  bool hot = false;
  bool pressed = false;
};

// The strip's own "×": lines, not a font glyph, which Wine may draw as a box.
LRESULT CALLBACK close_proc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<CloseButton*>(GetWindowLongPtrW(button, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new CloseButton));
      break;
    case WM_NCDESTROY:
      delete state;
      SetWindowLongPtrW(button, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(button, &paint);
      RECT rect{};
      GetClientRect(button, &rect);
      // The strip's background shows through: it answers WM_CTLCOLORBTN with its brush.
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(button), WM_CTLCOLORBTN,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(button)));
      FillRect(dc, &rect, brush);
      const bool emphasised = state && (state->hot || state->pressed);
      const int size = std::min(rect.right, rect.bottom) * 2 / 5;
      const int left = (rect.right - size) / 2;
      const int top = (rect.bottom - size) / 2;
      HPEN pen =
          CreatePen(PS_SOLID, std::max(1, size / 5), emphasised ? colour::text : colour::hint_text);
      HGDIOBJ old_pen = SelectObject(dc, pen);
      MoveToEx(dc, left, top, nullptr);
      LineTo(dc, left + size + 1, top + size + 1);
      MoveToEx(dc, left + size, top, nullptr);
      LineTo(dc, left - 1, top + size + 1);
      SelectObject(dc, old_pen);
      DeleteObject(pen);
      EndPaint(button, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (state && !state->hot) {
        state->hot = true;
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
        InvalidateRect(button, nullptr, FALSE);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (state) state->hot = false;
      InvalidateRect(button, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      if (state) state->pressed = true;
      SetCapture(button);
      return 0;
    case WM_LBUTTONUP: {
      const bool was_pressed = state && state->pressed;
      if (GetCapture() == button) ReleaseCapture();
      RECT rect{};
      GetClientRect(button, &rect);
      if (was_pressed && PtInRect(&rect, POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)})) {
        SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(close_id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (state) state->pressed = false;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(button, message, wparam, lparam);
}

}  // namespace

void NoticeStrip::register_class(HINSTANCE instance) {
  WNDCLASSEXW strip{};
  strip.cbSize = sizeof(strip);
  strip.lpfnWndProc = &NoticeStrip::strip_proc;
  strip.hInstance = instance;
  strip.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  strip.lpszClassName = strip_class;
  RegisterClassExW(&strip);
  WNDCLASSEXW close = strip;
  close.lpfnWndProc = close_proc;
  close.lpszClassName = close_class;
  RegisterClassExW(&close);
}

NoticeStrip::NoticeStrip(HINSTANCE instance, HWND parent, HWND log_pane, int text_id,
                         SkinContext& skin)
    : log_pane_(log_pane), skin_(skin) {
  register_class(instance);
  CreateWindowExW(0, strip_class, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                  instance, this);
  text_ = CreateWindowExW(
      0, L"EDIT", L"",
      WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0, 0, 0,
      window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(text_id)), instance, nullptr);
  close_ =
      CreateWindowExW(0, close_class, L"Hide this note", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(close_id)), instance, nullptr);
  // The pane paints around the strip, which lies over its bottom edge.
  SetWindowLongPtrW(log_pane_, GWL_STYLE,
                    GetWindowLongPtrW(log_pane_, GWL_STYLE) | WS_CLIPSIBLINGS);
  show({}, NoticeKind::info);
}

void NoticeStrip::show(const std::wstring& text, NoticeKind kind) {
  kind_ = kind;
  if (background_) DeleteObject(background_);
  background_ = CreateSolidBrush(look_of(kind).background);
  SetWindowTextW(text_, text.c_str());
  ShowWindow(window_, text.empty() ? SW_HIDE : SW_SHOWNA);
  place();
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void NoticeStrip::place() {
  const Scale& scale = skin_.scale;
  SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.fonts->window()), FALSE);
  RECT area{};
  GetClientRect(log_pane_, &area);
  MapWindowPoints(log_pane_, GetParent(window_), reinterpret_cast<POINT*>(&area), 2);
  const int width = area.right - area.left;
  const int close_size = scale(16);
  const int text_left = scale(6);
  const int text_top = scale(4) + 1;  // below the one-pixel line along the top
  const int text_width = std::max(1, width - text_left - scale(2) - close_size - scale(4));

  int height = 0;
  int text_height = 0;
  if (IsWindowVisible(window_)) {
    const int length = GetWindowTextLengthW(text_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(text_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    HDC dc = GetDC(text_);
    HGDIOBJ old_font = SelectObject(dc, skin_.fonts->window());
    RECT measured{0, 0, text_width, 0};
    DrawTextW(dc, text.c_str(), length, &measured,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    SelectObject(dc, old_font);
    ReleaseDC(text_, dc);
    text_height = measured.bottom;
    height = std::min(text_height + text_top + scale(4),
                      static_cast<int>((area.bottom - area.top) * 2 / 3));
  }
  const int shown_text_height = std::max(1, height - text_top - scale(4));
  ShowScrollBar(text_, SB_VERT, text_height > shown_text_height);
  SetWindowPos(window_, HWND_TOP, area.left, area.bottom - height, width, height, SWP_NOACTIVATE);
  MoveWindow(text_, text_left, text_top, text_width, shown_text_height, TRUE);
  MoveWindow(close_, width - scale(2) - close_size, scale(3), close_size, close_size, TRUE);

  // The log's text keeps above the strip, and a log scrolled to its end stays there.
  SCROLLINFO scroll{};
  scroll.cbSize = sizeof(scroll);
  scroll.fMask = SIF_ALL;
  const bool at_end = !GetScrollInfo(log_pane_, SB_VERT, &scroll) ||
                      scroll.nPos + static_cast<int>(scroll.nPage) > scroll.nMax;
  RECT text_area{};
  GetClientRect(log_pane_, &text_area);
  // A little room around the text, as the Qt window's pane has.
  text_area.left += scale(4);
  text_area.top += scale(3);
  text_area.right -= scale(2);
  text_area.bottom -= height;
  SendMessageW(log_pane_, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&text_area));
  if (at_end) SendMessageW(log_pane_, WM_VSCROLL, SB_BOTTOM, 0);
}

LRESULT CALLBACK NoticeStrip::strip_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* strip =
        static_cast<NoticeStrip*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
    strip->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(strip));
  }
  auto* strip = reinterpret_cast<NoticeStrip*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!strip) return DefWindowProcW(window, message, wparam, lparam);
  return strip->handle(message, wparam, lparam);
}

LRESULT NoticeStrip::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint_info{};
      HDC dc = BeginPaint(window_, &paint_info);
      paint(dc);
      EndPaint(window_, &paint_info);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, colour::text);
      SetBkColor(dc, look_of(kind_).background);
      return reinterpret_cast<LRESULT>(background_);
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == close_id) hide();
      return 0;
    case WM_NCDESTROY:
      if (background_) DeleteObject(background_);
      background_ = nullptr;
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

void NoticeStrip::paint(HDC dc) {
  RECT rect{};
  GetClientRect(window_, &rect);
  const KindLook look = look_of(kind_);
  fill_rect(dc, rect, look.background);
  RECT line = rect;
  line.bottom = line.top + 1;
  fill_rect(dc, line, look.border);
}

}  // namespace winapp
