#pragma once
// The window's child control ids. The test driver finds controls by their captions; the ids
// are for what has none of its own (the notice along the log's bottom edge).

namespace winapp::id {

inline constexpr int group_box = 100;
inline constexpr int detect_dm = 101;  // spSkinButton1
inline constexpr int flash_mode = 102;
inline constexpr int test_mode = 103;
inline constexpr int link_label = 104;
inline constexpr int port_list = 105;     // spSkinComboBox1
inline constexpr int detect_port = 106;   // spSkinButton2
inline constexpr int save_log = 107;      // spSkinButton3
inline constexpr int port_lamp = 108;     // ComLed2
inline constexpr int receive_lamp = 109;  // ComLed1
inline constexpr int log_pane = 110;      // Memo1
inline constexpr int gauge = 111;         // PP
inline constexpr int diagnosis = 112;     // the notice's text (a diagnosis, a hint, ...)
inline constexpr int menu_button = 120;
inline constexpr int minimise_button = 121;
inline constexpr int close_button = 122;

}  // namespace winapp::id

// The window's own entries in its system menu. The low four bits of a system command belong
// to the system.
namespace winapp::command {

inline constexpr unsigned roll_up = 0x0010;
inline constexpr unsigned loader_file = 0x0020;      // "Loader image…"
inline constexpr unsigned built_in_loader = 0x0030;  // "Use the built-in stand-in"
inline constexpr unsigned about = 0x0040;

}  // namespace winapp::command
