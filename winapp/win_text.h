#pragma once
// The kit and the dialogue speak UTF-8; the window speaks UTF-16 (the W functions).

#include <windows.h>

#include <string>
#include <string_view>

namespace winapp {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A window's own text (WM_GETTEXT).
std::wstring window_text(HWND window);

// The running program's file, with its folder.
std::wstring program_file();

}  // namespace winapp
