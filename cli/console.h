#pragma once
// The terminal the program runs in: Esc on the keyboard, Ctrl-C and SIGTERM. One
// implementation per platform (console_posix.cpp, console_win32.cpp).

#include <cstdint>
#include <span>

namespace cli {

class Console {
 public:
  // Catches Ctrl-C and SIGTERM: the first one asks the check to stop at its next step, a
  // second ends the program at once with status 130. When stdin is the terminal in the
  // foreground, switches it to single-key input without echo so Esc arrives at once.
  Console();
  // Undoes both; the terminal is also restored if a second interrupt ends the program.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Takes the keys pressed since the last call, without waiting; true if Esc was one.
  bool esc_pressed();
  // Ctrl-C or SIGTERM arrived: the program is ending.
  static bool interrupted();
  static bool stdout_is_terminal();
  static bool stderr_is_terminal();
};

// Whether keys read from a terminal hold a press of Esc itself rather than the start of a
// key's escape sequence (an arrow key sends ESC [ A, F1 sends ESC O P).
bool holds_escape_key(std::span<const std::uint8_t> keys);

}  // namespace cli
