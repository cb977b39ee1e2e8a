#include "frontend/pane_text.h"

namespace frontend {

std::u16string pane_text(std::string_view bytes, std::u16string_view line_break) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      text += line_break;
      ++i;
    } else if (byte == '\r') {
      text += lone_cr_picture;
    } else if (byte == '\n') {
      text += lone_lf_picture;
    } else {
      text += static_cast<char16_t>(static_cast<unsigned char>(byte));
    }
  }
  return text;
}

std::string log_bytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      bytes += "\r\n";
      ++i;
    } else if (c == u'\n' || c == u'\u2028' || c == u'\u2029') {
      bytes += "\r\n";
    } else if (c == lone_cr_picture) {
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

}  // namespace frontend
