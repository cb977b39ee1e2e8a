#pragma once
// The log pane (Memo1) is a multi-line EDIT control; its text maps to the log's bytes by the
// kit's rule (frontend/pane_text.h), with the control's own CR LF as the line break.

#include <windows.h>

#include <string>
#include <string_view>

namespace winapp {

// Adds one line: the text up to its first zero byte, then CR LF; scrolls to the end.
void append_log_line(HWND pane, std::string_view text);

// The whole log as bytes: every added line and whatever the user typed.
std::string log_bytes_of(HWND pane);

}  // namespace winapp
