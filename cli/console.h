#pragma once
// The terminal the program runs in: Esc on the keyboard, Ctrl-C and its kin. One
// implementation per platform (console_posix.cpp, console_win32.cpp).

#include <cstdint>
#include <functional>
#include <span>

namespace cli {

class Console {
 public:
  // Catches Ctrl-C, SIGTERM, SIGHUP and Ctrl-\ (SIGQUIT): the first one asks the check to stop
  // at its next step; a second ends the program at once with status 130, after the last words
  // (below); a third ends it even while they are being written. A closed pipe on stdout
  // (SIGPIPE) no longer ends the program, from here to its end: writes to it fail instead.
  // When stdin is the terminal in the foreground, switches it to single-key input without
  // echo so Esc arrives at once.
  Console();
  // Undoes all but the SIGPIPE rule; the terminal is also restored if a second interrupt
  // ends the program.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // What a second interrupt does before the program ends: write what is known so far. It
  // runs on a thread of its own, never in a signal handler, so it may allocate and write
  // files, but it must not wait for the thread that runs the check. Empty: nothing.
  void set_last_words(std::function<void()> last_words);

  // Takes the keys pressed since the last call, without waiting; true if Esc was one.
  bool esc_pressed();
  // Ctrl-C or its kin arrived: the program is ending.
  static bool interrupted();
  static bool stdout_is_terminal();
  static bool stderr_is_terminal();
};

// Whether keys read from a terminal hold a press of Esc itself rather than the start of a
// key's escape sequence (an arrow key sends ESC [ A, F1 sends ESC O P).
bool holds_escape_key(std::span<const std::uint8_t> keys);

}  // namespace cli
