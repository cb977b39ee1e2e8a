#include <conio.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>

#include "cli/console.h"

namespace cli {
namespace {

std::atomic<int> interrupt_count{0};
std::mutex last_words_mutex;
std::function<void()> last_words;

// Windows runs each console event on a thread of its own, so the last words are written
// right here; a third event, on another thread, ends the program even while they are.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: {
      const int count = interrupt_count.fetch_add(1) + 1;
      if (count == 2) {
        std::function<void()> words;
        {
          const std::lock_guard lock(last_words_mutex);
          words = last_words;
        }
        if (words) words();
      }
      if (count >= 2) std::_Exit(130);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

bool stdin_is_console() {
  return _isatty(_fileno(stdin)) != 0;
}

}  // namespace

Console::Console() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

Console::~Console() {
  SetConsoleCtrlHandler(on_console_event, FALSE);
  set_last_words({});
}

void Console::set_last_words(std::function<void()> words) {
  const std::lock_guard lock(last_words_mutex);
  last_words = std::move(words);
}

bool Console::esc_pressed() {
  if (!stdin_is_console()) return false;
  constexpr int esc = 27;
  bool pressed = false;
  while (_kbhit()) {
    const int key = _getch();
    if (key == 0 || key == 0xE0) {
      _getch();  // the second half of a function or arrow key
      continue;
    }
    pressed = pressed || key == esc;
  }
  return pressed;
}

bool Console::interrupted() {
  return interrupt_count.load() > 0;
}

bool Console::stdout_is_terminal() {
  return _isatty(_fileno(stdout)) != 0;
}

bool Console::stderr_is_terminal() {
  return _isatty(_fileno(stderr)) != 0;
}

}  // namespace cli
