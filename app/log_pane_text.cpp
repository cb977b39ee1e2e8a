#include "app/log_pane_text.h"

namespace app {

QString pane_text(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      text += QLatin1Char('\n');
      ++i;
    } else if (byte == '\r') {
      text += QChar(lone_cr_picture);
    } else if (byte == '\n') {
      text += QChar(lone_lf_picture);
    } else {
      text += QChar(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    }
  }
  return text;
}

QByteArray log_bytes(const QString& raw_text) {
  QByteArray bytes;
  bytes.reserve(raw_text.size());
  for (const QChar c : raw_text) {
    const char16_t code = c.unicode();
    if (code == QChar::ParagraphSeparator || code == QChar::LineSeparator || code == u'\n') {
      bytes += "\r\n";
    } else if (code == lone_cr_picture) {
      bytes += '\r';
    } else if (code == lone_lf_picture) {
      bytes += '\n';
    } else if (code <= 0xFF) {
      bytes += static_cast<char>(code);
    } else {
      bytes += '?';
    }
  }
  return bytes;
}

}  // namespace app
