#pragma once
// The log pane (Memo1, a multi-line EDIT control) shows bytes, and "Save Log" gets the same
// bytes back. Each byte is the Latin-1 character of its value. CR LF is the control's line
// break; a lone CR or LF shows as its control picture, so that it stays in the text without
// breaking the line (Wine's EDIT would break at a lone LF).

#include <windows.h>

#include <string>
#include <string_view>

namespace winapp {

inline constexpr wchar_t lone_cr_picture = L'\u240D';  // SYMBOL FOR CARRIAGE RETURN
inline constexpr wchar_t lone_lf_picture = L'\u240A';  // SYMBOL FOR LINE FEED

// The pane's text for these bytes.
std::wstring pane_text(std::string_view bytes);

// The bytes behind the pane's text: the pictures are their bytes again, and a character the
// user typed that has no byte of its own becomes '?'.
std::string log_bytes(std::wstring_view text);

// Adds one line: the text up to its first zero byte, then CR LF; scrolls to the end.
void append_log_line(HWND pane, std::string_view text);

// The whole log as bytes: every added line and whatever the user typed.
std::string log_bytes_of(HWND pane);

}  // namespace winapp
