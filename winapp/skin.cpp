#include "winapp/skin.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace winapp {

namespace {

constexpr int window_point_size = 8;

HFONT make_font(UINT dpi, const wchar_t* face, int weight, bool underline, BYTE charset,
                BYTE pitch) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(window_point_size, static_cast<int>(dpi), 72);
  font.lfWeight = weight;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = charset;
  font.lfQuality = CLEARTYPE_QUALITY;
  font.lfPitchAndFamily = pitch;
  wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

COLOR16 channel(BYTE value) {
  return static_cast<COLOR16>(value << 8);
}

}  // namespace

void fill_gradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
  TRIVERTEX corners[2] = {
      {rect.left, rect.top, channel(GetRValue(top)), channel(GetGValue(top)),
       channel(GetBValue(top)), 0},
      {rect.right, rect.bottom, channel(GetRValue(bottom)), channel(GetGValue(bottom)),
       channel(GetBValue(bottom)), 0},
  };
  GRADIENT_RECT span{0, 1};
  GradientFill(dc, corners, 2, &span, 1, GRADIENT_FILL_RECT_V);
}

namespace {

void fill_ellipse(HDC dc, int x, int y, int diameter, COLORREF fill, COLORREF outline) {
  HBRUSH brush = CreateSolidBrush(fill);
  HPEN pen = CreatePen(PS_SOLID, 1, outline);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  Ellipse(dc, x, y, x + diameter, y + diameter);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(brush);
  DeleteObject(pen);
}

COLORREF lighter(COLORREF c, double share) {
  return blend(c, RGB(255, 255, 255), share);
}

COLORREF darker(COLORREF c, double share) {
  return blend(c, RGB(0, 0, 0), share);
}

}  // namespace

Fonts::Fonts(UINT dpi)
    : window_(make_font(dpi, L"Tahoma", FW_NORMAL, false, DEFAULT_CHARSET, VARIABLE_PITCH)),
      bold_(make_font(dpi, L"Tahoma", FW_BOLD, false, DEFAULT_CHARSET, VARIABLE_PITCH)),
      link_(make_font(dpi, L"Tahoma", FW_BOLD, true, DEFAULT_CHARSET, VARIABLE_PITCH)),
      log_(make_font(dpi, L"Courier New", FW_NORMAL, false, EASTEUROPE_CHARSET,
                     FIXED_PITCH | FF_MODERN)) {}

Fonts::~Fonts() {
  for (HFONT font : {window_, bold_, link_, log_}) DeleteObject(font);
}

COLORREF blend(COLORREF a, COLORREF b, double b_share) {
  const auto mix = [b_share](BYTE x, BYTE y) {
    return static_cast<BYTE>(std::lround(x + (y - x) * b_share));
  };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

void fill_rect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void fill_rounded(HDC dc, const RECT& rect, int radius, COLORREF top, COLORREF bottom,
                  COLORREF border) {
  HRGN shape = CreateRoundRectRgn(rect.left, rect.top, rect.right + 1, rect.bottom + 1, 2 * radius,
                                  2 * radius);
  SelectClipRgn(dc, shape);
  fill_gradient(dc, rect, top, bottom);
  SelectClipRgn(dc, nullptr);
  HBRUSH frame = CreateSolidBrush(border);
  FrameRgn(dc, shape, frame, 1, 1);
  DeleteObject(frame);
  DeleteObject(shape);
}

void draw_text(HDC dc, std::wstring_view text, RECT rect, HFONT font, COLORREF colour, UINT flags) {
  HGDIOBJ old_font = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, flags | DT_NOPREFIX);
  SelectObject(dc, old_font);
}

void draw_push_button(HDC dc, const RECT& rect, std::wstring_view caption, ButtonLook look,
                      ButtonState state, const Fonts& fonts, const Scale& scale) {
  COLORREF top, bottom, border, text;
  if (look == ButtonLook::primary) {
    text = RGB(0xff, 0xff, 0xff);
    border = RGB(0x00, 0x5d, 0x8c);
    top = state.hot ? RGB(0x2a, 0xa0, 0xd8) : RGB(0x1a, 0x8f, 0xc8);
    bottom = state.hot ? RGB(0x0a, 0x82, 0xbb) : RGB(0x00, 0x73, 0xab);
    if (state.pressed) top = bottom = RGB(0x00, 0x66, 0x99);
    if (!state.enabled) {
      text = RGB(0xa7, 0xb8, 0xc6);
      top = bottom = RGB(0xdf, 0xe6, 0xec);
      border = RGB(0xc9, 0xd3, 0xdc);
    }
  } else {
    text = colour::text;
    top = RGB(0xff, 0xff, 0xff);
    bottom = state.hot ? RGB(0xe1, 0xee, 0xf6) : RGB(0xe9, 0xee, 0xf3);
    border = (state.hot || state.focused) ? colour::accent : colour::field_border;
    if (state.pressed) top = bottom = RGB(0xd3, 0xe5, 0xf0);
    if (!state.enabled) {
      text = colour::disabled_text;
      top = bottom = colour::disabled_field;
      border = colour::disabled_border;
    }
  }
  fill_rounded(dc, rect, scale(4), top, bottom, border);
  RECT inner = rect;
  InflateRect(&inner, -scale(6), 0);
  if (state.pressed) OffsetRect(&inner, 0, 1);
  draw_text(dc, caption, inner, look == ButtonLook::primary ? fonts.bold() : fonts.window(), text,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

void draw_radio_box(HDC dc, const RECT& rect, std::wstring_view caption, bool checked,
                    ButtonState state, COLORREF background, const Fonts& fonts,
                    const Scale& scale) {
  fill_rect(dc, rect, background);
  const int size = scale(13);
  const int x = rect.left + scale(1);
  const int y = rect.top + (rect.bottom - rect.top - size) / 2;
  COLORREF border = state.hot ? colour::accent : RGB(0x8d, 0x9b, 0xab);
  COLORREF face = colour::field;
  COLORREF dot = colour::accent;
  if (checked) border = colour::accent;
  if (!state.enabled) {
    border = RGB(0xc3, 0xcc, 0xd6);
    face = RGB(0xee, 0xf1, 0xf4);
    dot = RGB(0x8f, 0xb3, 0xc9);  // still plainly checked, but greyed
  }
  fill_ellipse(dc, x, y, size, face, border);
  if (checked) {
    const int dot_size = size - 2 * scale(3) - 1;
    const int offset = (size - dot_size) / 2;
    fill_ellipse(dc, x + offset, y + offset, dot_size, dot, dot);
  }
  RECT text_rect = rect;
  text_rect.left = x + size + scale(6);
  draw_text(dc, caption, text_rect, fonts.window(),
            state.enabled ? colour::text : colour::disabled_text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (state.focused) {
    HGDIOBJ old_font = SelectObject(dc, fonts.window());
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.data(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, old_font);
    RECT focus = {text_rect.left - 1, y - 1, text_rect.left + extent.cx + 1, y + size + 1};
    SetTextColor(dc, colour::text);
    SetBkColor(dc, background);
    DrawFocusRect(dc, &focus);
  }
}

void draw_gauge(HDC dc, const RECT& rect, int percent, COLORREF background, const Fonts& fonts,
                const Scale& scale) {
  fill_rect(dc, rect, background);
  const COLORREF trough = RGB(0xe3, 0xe8, 0xee);
  fill_rounded(dc, rect, scale(4), trough, trough, RGB(0xb8, 0xc2, 0xce));
  percent = std::clamp(percent, 0, 100);
  RECT bar = rect;
  InflateRect(&bar, -1, -1);
  bar.right = bar.left + (bar.right - bar.left) * percent / 100;
  if (bar.right - bar.left >= 2) {
    const COLORREF top = RGB(0x7c, 0xc3, 0xe8);
    const COLORREF bottom = RGB(0x4a, 0xa7, 0xd8);
    fill_rounded(dc, bar, scale(3), top, bottom, blend(top, bottom, 0.5));
  }
  const std::wstring text = std::to_wstring(percent) + L"%";
  draw_text(dc, text, rect, fonts.bold(), RGB(0x10, 0x20, 0x2e),
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void draw_lamp(HDC dc, const RECT& rect, bool lit, COLORREF lit_colour, COLORREF background) {
  fill_rect(dc, rect, background);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int diameter = static_cast<int>(std::min(width, height) * 0.62);
  const int cx = rect.left + width / 2;
  const int cy = rect.top + height / 2;
  const COLORREF body = lit ? lit_colour : colour::lamp_off;
  if (lit) {
    // A soft halo, so a lit lamp reads at a glance.
    for (const auto& [scale_by, share] : {std::pair{1.55, 0.18}, std::pair{1.3, 0.35}}) {
      const int halo = static_cast<int>(diameter * scale_by);
      const COLORREF glow = blend(background, lit_colour, share);
      fill_ellipse(dc, cx - halo / 2, cy - halo / 2, halo, glow, glow);
    }
  }
  fill_ellipse(dc, cx - diameter / 2, cy - diameter / 2, diameter, body,
               darker(body, lit ? 0.3 : 0.35));
  const int shine = std::max(2, diameter / 3);
  const COLORREF highlight = lighter(body, lit ? 0.45 : 0.3);
  fill_ellipse(dc, cx - diameter / 4 - shine / 3, cy - diameter / 4 - shine / 3, shine, highlight,
               highlight);
}

void draw_app_picture(HDC dc, const RECT& rect) {
  const double unit = (rect.right - rect.left) / 16.0;
  const auto at = [&](double x, double y) {
    return POINT{rect.left + static_cast<int>(std::lround(x * unit)),
                 rect.top + static_cast<int>(std::lround(y * unit))};
  };
  const auto rounded = [&](double x, double y, double w, double h, double r, COLORREF fill) {
    const POINT a = at(x, y);
    const POINT b = at(x + w, y + h);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ old_brush = SelectObject(dc, brush);
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int corner = std::max(1, static_cast<int>(std::lround(2 * r * unit)));
    RoundRect(dc, a.x, a.y, b.x + 1, b.y + 1, corner, corner);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    DeleteObject(brush);
  };
  rounded(0.5, 0.5, 15, 15, 3.5, RGB(0x00, 0x7b, 0xb7));
  rounded(2.5, 6, 11, 5, 1.2, RGB(0xf4, 0xf7, 0xfa));
  rounded(10.1, 7.4, 2.2, 2.2, 1.1, RGB(0x2e, 0xcc, 0x71));
  rounded(4, 8, 4.5, 1, 0, RGB(0x9a, 0xa9, 0xb8));
}

HICON make_app_icon(int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP colour_bitmap = CreateCompatibleBitmap(screen, size, size);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  const RECT all{0, 0, size, size};

  // The mask: opaque (black) where the rounded body is, transparent (white) around it.
  HGDIOBJ old = SelectObject(dc, mask);
  fill_rect(dc, all, RGB(255, 255, 255));
  HRGN body = CreateRoundRectRgn(0, 0, size + 1, size + 1, size * 7 / 16, size * 7 / 16);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  FillRgn(dc, body, black);
  DeleteObject(body);

  SelectObject(dc, colour_bitmap);
  fill_rect(dc, all, RGB(0, 0, 0));
  draw_app_picture(dc, all);
  SelectObject(dc, old);

  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = colour_bitmap;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour_bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return icon;
}

BufferedPaint::BufferedPaint(HDC target, const RECT& rect)
    : target_(target),
      rect_(rect),
      memory_dc_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, std::max(1L, rect.right - rect.left),
                                     std::max(1L, rect.bottom - rect.top))),
      old_bitmap_(SelectObject(memory_dc_, bitmap_)) {
  SetViewportOrgEx(memory_dc_, -rect.left, -rect.top, nullptr);
}

BufferedPaint::~BufferedPaint() {
  SetViewportOrgEx(memory_dc_, 0, 0, nullptr);
  BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
         memory_dc_, 0, 0, SRCCOPY);
  SelectObject(memory_dc_, old_bitmap_);
  DeleteObject(bitmap_);
  DeleteDC(memory_dc_);
}

}  // namespace winapp
