#pragma once
// The window's look: the stylesheet compiled into the program, the fonts the controls are
// declared with, and the few glyphs we draw ourselves.

#include <QFont>
#include <QIcon>
#include <QString>

namespace app {

inline constexpr int title_bar_height = 28;
inline constexpr char skin_resource[] = ":/skin/pellora.qss";

// The stylesheet, read from the program's compressed resource.
QString skin_style_sheet();

// 8-point Tahoma, or its nearest substitute; every control but the log uses it.
QFont window_font();
// The log: 8-point "Courier New", or its metric-compatible substitute Liberation Mono.
QFont log_font();
// The link label: bold, underlined 8-point Tahoma.
QFont link_font();

QIcon app_icon();
QIcon minimise_glyph();
QIcon close_glyph();

}  // namespace app
