#include "winapp/status_lamp.h"

#include "winapp/skin.h"
#include "winapp/skinned_controls.h"

namespace winapp {

namespace {

struct Lamp {
  COLORREF lit_colour;
  bool lit = false;
};

LRESULT CALLBACK lamp_proc(HWND lamp_window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* lamp = reinterpret_cast<Lamp*>(GetWindowLongPtrW(lamp_window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      auto colour = static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(create->lpCreateParams));
      SetWindowLongPtrW(lamp_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Lamp{colour}));
      break;
    }
    case WM_NCDESTROY:
      delete lamp;
      SetWindowLongPtrW(lamp_window, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = BeginPaint(lamp_window, &paint);
      RECT rect{};
      GetClientRect(lamp_window, &rect);
      {
        BufferedPaint buffer(target, rect);
        draw_lamp(buffer.dc(), rect, lamp && lamp->lit, lamp ? lamp->lit_colour : 0, colour::panel);
      }
      EndPaint(lamp_window, &paint);
      return 0;
    }
    case lamp_set_lit:
      if (lamp && lamp->lit != (wparam != 0)) {
        lamp->lit = wparam != 0;
        InvalidateRect(lamp_window, nullptr, FALSE);
      }
      return 0;
    case lamp_is_lit:
      return lamp && lamp->lit ? 1 : 0;
    default:
      break;
  }
  return DefWindowProcW(lamp_window, message, wparam, lparam);
}

}  // namespace

void register_lamp_class(HINSTANCE instance) {
  register_control_class(instance, lamp_class, lamp_proc);
}

}  // namespace winapp
