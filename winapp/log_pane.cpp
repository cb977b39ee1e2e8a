#include "winapp/log_pane.h"

#include "winapp/win_text.h"

namespace winapp {

std::wstring pane_text(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      text += L"\r\n";
      ++i;
    } else if (byte == '\r') {
      text += lone_cr_picture;
    } else if (byte == '\n') {
      text += lone_lf_picture;
    } else {
      text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    }
  }
  return text;
}

std::string log_bytes(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == lone_cr_picture) {
      bytes += '\r';
    } else if (c == lone_lf_picture) {
      bytes += '\n';
    } else if (c <= 0xFF) {
      bytes += static_cast<char>(c);
    } else {
      bytes += '?';
    }
  }
  return bytes;
}

void append_log_line(HWND pane, std::string_view text) {
  // A zero byte ends the text; the line still ends where it should.
  text = text.substr(0, text.find('\0'));
  const std::wstring line = pane_text(text) + L"\r\n";
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(pane));
  SendMessageW(pane, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageW(pane, WM_VSCROLL, SB_BOTTOM, 0);
}

std::string log_bytes_of(HWND pane) {
  return log_bytes(window_text(pane));
}

}  // namespace winapp
