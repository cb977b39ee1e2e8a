#pragma once
// The window's look, the same as the Qt window's stylesheet (resources/skin/pellora.qss):
// its colours, the fonts the controls are declared with, and GDI drawing for what the
// standard controls cannot draw in these colours. Sizes are pixels at 96 dots per inch,
// scaled to the window's DPI by the caller's Scale.

#include <windows.h>

#include <string_view>

namespace winapp {

// Pixels at 96 DPI to pixels at the window's DPI.
struct Scale {
  UINT dpi = USER_DEFAULT_SCREEN_DPI;
  int operator()(int pixels_at_96) const {
    return MulDiv(pixels_at_96, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
  }
};

namespace colour {
inline constexpr COLORREF window = RGB(0xee, 0xf1, 0xf5);
inline constexpr COLORREF frame = RGB(0x2b, 0x3a, 0x4a);
inline constexpr COLORREF title_top = RGB(0x34, 0x47, 0x5a);
inline constexpr COLORREF title_bottom = RGB(0x27, 0x38, 0x4a);
inline constexpr COLORREF title_text = RGB(0xf1, 0xf5, 0xf9);
inline constexpr COLORREF title_glyph = RGB(0xe8, 0xee, 0xf4);
inline constexpr COLORREF title_hover = RGB(0x46, 0x60, 0x7a);
inline constexpr COLORREF close_hover = RGB(0xc4, 0x41, 0x3a);
inline constexpr COLORREF panel = RGB(0xf7, 0xf9, 0xfb);
inline constexpr COLORREF panel_border = RGB(0xc6, 0xcf, 0xd9);
inline constexpr COLORREF panel_title = RGB(0x3a, 0x4a, 0x5b);
inline constexpr COLORREF text = RGB(0x1f, 0x2a, 0x36);
inline constexpr COLORREF disabled_text = RGB(0x9a, 0xa5, 0xb1);
inline constexpr COLORREF accent = RGB(0x00, 0x7b, 0xb7);  // the log's blue, rgb(0,123,183)
inline constexpr COLORREF accent_light = RGB(0x00, 0xa0, 0xe6);
inline constexpr COLORREF field = RGB(0xff, 0xff, 0xff);
inline constexpr COLORREF field_border = RGB(0xaa, 0xb6, 0xc3);
inline constexpr COLORREF disabled_field = RGB(0xec, 0xef, 0xf3);
inline constexpr COLORREF disabled_border = RGB(0xcf, 0xd6, 0xde);
inline constexpr COLORREF log_border = RGB(0xc6, 0xcf, 0xd9);
inline constexpr COLORREF log_focus_border = RGB(0x7f, 0xb8, 0xd8);
inline constexpr COLORREF hint_text = RGB(0x5b, 0x6b, 0x7c);
inline constexpr COLORREF lamp_off = RGB(0xa7, 0xb1, 0xbb);
inline constexpr COLORREF port_lamp = RGB(0x27, 0xc4, 0x6b);
inline constexpr COLORREF receive_lamp = RGB(0xe5, 0x48, 0x3a);
}  // namespace colour

// The fonts of one DPI. Every control but the log uses the window font.
class Fonts {
 public:
  explicit Fonts(UINT dpi);
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  HFONT window() const { return window_; }  // 8-point Tahoma
  HFONT bold() const { return bold_; }
  HFONT link() const { return link_; }  // bold, underlined 8-point Tahoma
  // 8-point "Courier New", Central European character set. Wine may hand back its metric
  // twin Liberation Mono.
  HFONT log() const { return log_; }

 private:
  HFONT window_;
  HFONT bold_;
  HFONT link_;
  HFONT log_;
};

// A rounded rectangle filled with a top-to-bottom gradient and framed in border.
void fill_rounded(HDC dc, const RECT& rect, int radius, COLORREF top, COLORREF bottom,
                  COLORREF border);
void fill_rect(HDC dc, const RECT& rect, COLORREF colour);
void fill_gradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
// A line of text in the given font and colour, aligned by DT_* flags, clipped to rect.
void draw_text(HDC dc, std::wstring_view text, RECT rect, HFONT font, COLORREF colour, UINT flags);
COLORREF blend(COLORREF a, COLORREF b, double b_share);

enum class ButtonLook { plain, primary };
struct ButtonState {
  bool enabled = true;
  bool pressed = false;
  bool hot = false;
  bool focused = false;
};
void draw_push_button(HDC dc, const RECT& rect, std::wstring_view caption, ButtonLook look,
                      ButtonState state, const Fonts& fonts, const Scale& scale);

// The round indicator and the caption; a disabled checked box keeps its dot, greyed.
void draw_radio_box(HDC dc, const RECT& rect, std::wstring_view caption, bool checked,
                    ButtonState state, COLORREF background, const Fonts& fonts, const Scale& scale);

// The gauge: the bar and, centred over it, the percent text.
void draw_gauge(HDC dc, const RECT& rect, int percent, COLORREF background, const Fonts& fonts,
                const Scale& scale);

void draw_lamp(HDC dc, const RECT& rect, bool lit, COLORREF lit_colour, COLORREF background);

// The program's picture: a set-top box with its power lamp lit (as pellora.svg).
void draw_app_picture(HDC dc, const RECT& rect);
HICON make_app_icon(int size);

// Paints into an off-screen bitmap and copies it to the target in one go, so a repaint
// never flickers.
class BufferedPaint {
 public:
  BufferedPaint(HDC target, const RECT& rect);
  ~BufferedPaint();
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC dc() const { return memory_dc_; }

 private:
  HDC target_;
  RECT rect_;
  HDC memory_dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_bitmap_;
};

}  // namespace winapp
