#include "winapp/log_pane.h"

#include "frontend/pane_text.h"
#include "winapp/win_text.h"

namespace winapp {

void append_log_line(HWND pane, std::string_view text) {
  // A zero byte ends the text; the line still ends where it should.
  text = text.substr(0, text.find('\0'));
  const std::u16string line = frontend::pane_text(text, u"\r\n") + u"\r\n";
  const std::wstring wide(line.begin(), line.end());
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(pane));
  SendMessageW(pane, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(pane, WM_VSCROLL, SB_BOTTOM, 0);
}

std::string log_bytes_of(HWND pane) {
  const std::wstring text = window_text(pane);
  return frontend::log_bytes(std::u16string(text.begin(), text.end()));
}

}  // namespace winapp
