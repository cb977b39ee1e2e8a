#pragma once
// The log pane shows bytes, and "Save Log" gets the same bytes back; both windows keep the
// pane's text in UTF-16. Each byte is the Latin-1 character of its value. A CR LF pair is a
// line break; a lone CR or LF shows as its control picture, so that it stays in the text
// without breaking the line.

#include <string>
#include <string_view>

namespace frontend {

inline constexpr char16_t lone_cr_picture = u'\u240D';  // SYMBOL FOR CARRIAGE RETURN
inline constexpr char16_t lone_lf_picture = u'\u240A';  // SYMBOL FOR LINE FEED

// The pane's text for these bytes, with the pane's own line break where a CR LF pair was.
std::u16string pane_text(std::string_view bytes, std::u16string_view line_break);

// The bytes behind the pane's text: every line break (CR LF, LF, U+2028, U+2029) is CR LF,
// the control pictures are their bytes again, and a character the user typed that has no
// byte of its own becomes '?'.
std::string log_bytes(std::u16string_view text);

}  // namespace frontend
