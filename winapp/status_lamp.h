#pragma once
// A small round status lamp (the window's ComLed1 and ComLed2), a window of its own whose
// window text names it. lpParam of CreateWindow is its lit colour.

#include <windows.h>

namespace winapp {

inline constexpr wchar_t lamp_class[] = L"PelloraLamp";
inline constexpr UINT lamp_set_lit = WM_APP + 1;  // wParam: lit
inline constexpr UINT lamp_is_lit = WM_APP + 2;   // returns 1 when lit

// Once before creating a lamp.
void register_lamp_class(HINSTANCE instance);

}  // namespace winapp
