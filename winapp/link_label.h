#pragma once
// The link label "Forum / Support": bold, underlined, the skin's blue (lighter under the
// mouse, which shows a hand over it); a click opens the help page shipped beside the
// program.

#include <windows.h>

#include <string>

namespace winapp {

// Gives the STATIC control its cursor and its hover state, kept in hot for its colour.
void make_link_label(HWND label, bool& hot);

// The help page beside the program (help\index.html), as a file: URL.
std::wstring help_page_address();

}  // namespace winapp
