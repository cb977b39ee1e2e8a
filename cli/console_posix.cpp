#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <iterator>

#include "cli/console.h"

namespace cli {
namespace {

// Shared with the signal handler, hence plain statics and lock-free atomics only.
std::atomic<int> interrupt_count{0};
std::atomic<bool> terminal_changed{false};
termios saved_terminal{};

void restore_terminal() {
  if (terminal_changed.exchange(false)) tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
}

extern "C" void on_interrupt(int) {
  if (interrupt_count.fetch_add(1) + 1 >= 2) {
    restore_terminal();
    _exit(130);
  }
}

// Signals that end the program anyway (a closed pipe on stdout, Ctrl-backslash): give the
// terminal back, then let the signal do what it would have done.
extern "C" void on_fatal_signal(int signal_number) {
  restore_terminal();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

constexpr int interrupt_signals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int fatal_signals[] = {SIGPIPE, SIGQUIT};
struct sigaction previous_interrupt_actions[std::size(interrupt_signals)];
struct sigaction previous_fatal_actions[std::size(fatal_signals)];

bool stdin_is_foreground_terminal() {
  return isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

}  // namespace

Console::Console() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : interrupt_signals) sigaddset(&action.sa_mask, signal_number);
  for (std::size_t i = 0; i < std::size(interrupt_signals); ++i) {
    sigaction(interrupt_signals[i], &action, &previous_interrupt_actions[i]);
  }
  action.sa_handler = on_fatal_signal;
  for (std::size_t i = 0; i < std::size(fatal_signals); ++i) {
    sigaction(fatal_signals[i], &action, &previous_fatal_actions[i]);
  }

  if (stdin_is_foreground_terminal() && tcgetattr(STDIN_FILENO, &saved_terminal) == 0) {
    termios single_keys = saved_terminal;
    single_keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single_keys.c_cc[VMIN] = 0;  // reads return at once, with or without a key
    single_keys.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &single_keys) == 0) terminal_changed = true;
  }
}

Console::~Console() {
  restore_terminal();
  for (std::size_t i = 0; i < std::size(interrupt_signals); ++i) {
    sigaction(interrupt_signals[i], &previous_interrupt_actions[i], nullptr);
  }
  for (std::size_t i = 0; i < std::size(fatal_signals); ++i) {
    sigaction(fatal_signals[i], &previous_fatal_actions[i], nullptr);
  }
}

bool Console::esc_pressed() {
  if (!terminal_changed) return false;
  std::uint8_t keys[64];
  bool esc = false;
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, keys, sizeof keys);
    if (n <= 0) break;
    esc = holds_escape_key(std::span(keys, static_cast<std::size_t>(n))) || esc;
  }
  return esc;
}

bool Console::interrupted() {
  return interrupt_count.load() > 0;
}

bool Console::stdout_is_terminal() {
  return isatty(STDOUT_FILENO) == 1;
}

bool Console::stderr_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}

}  // namespace cli
