#pragma once
// The log pane shows bytes; the file gets the same bytes back. Each byte is the Latin-1
// character of its value. A CR LF pair shows as a line break; a lone CR or LF shows as its
// control picture so that it stays in the text without breaking the line.

#include <QByteArray>
#include <QString>
#include <string_view>

namespace app {

inline constexpr char16_t lone_cr_picture = u'\u240D';  // SYMBOL FOR CARRIAGE RETURN
inline constexpr char16_t lone_lf_picture = u'\u240A';  // SYMBOL FOR LINE FEED

// The text to insert into the pane for these bytes; line breaks are '\n'.
QString pane_text(std::string_view bytes);

// The bytes behind the pane's raw text (QTextDocument::toRawText): every line break is
// CR LF, the control pictures are their bytes again, and a character the user typed that has
// no byte of its own becomes '?'.
QByteArray log_bytes(const QString& raw_text);

}  // namespace app
