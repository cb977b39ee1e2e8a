#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "cli/console.h"

namespace cli {
namespace {

// Shared with the signal handler, hence plain statics, lock-free atomics and write() only.
std::atomic<int> interrupt_count{0};
std::atomic<bool> terminal_changed{false};
termios saved_terminal{};
// The handler wakes the watcher thread with a byte down this pipe.
int wake_pipe[2] = {-1, -1};
std::atomic<bool> watcher_running{false};
constexpr char wake_byte = 'w';
constexpr char stop_byte = 's';

constexpr int interrupt_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous_interrupt_actions[std::size(interrupt_signals)];

// The watcher's own; the handler never touches them.
std::mutex last_words_mutex;
std::function<void()> last_words;
std::thread watcher;

void restore_terminal() {
  if (terminal_changed.exchange(false)) tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
}

[[noreturn]] void end_now() {
  restore_terminal();
  _exit(130);
}

extern "C" void on_interrupt(int) {
  const int saved_errno = errno;
  const int count = interrupt_count.fetch_add(1) + 1;
  // A third, or a second with nobody to write the last words: end here and now.
  if (count >= 3 || (count == 2 && !watcher_running.load())) end_now();
  if (count == 2) {
    const char byte = wake_byte;
    [[maybe_unused]] const ssize_t written = ::write(wake_pipe[1], &byte, 1);
  }
  errno = saved_errno;
}

// Waits for the handler's word of a second interrupt; the last words are written here, where
// a thread may allocate and take locks, while the check's own thread may be stuck anywhere.
void watch_for_second_interrupt() {
  for (;;) {
    char byte = 0;
    const ssize_t got = ::read(wake_pipe[0], &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || byte == stop_byte) return;
    std::function<void()> words;
    {
      const std::lock_guard lock(last_words_mutex);
      words = last_words;
    }
    if (words) words();
    end_now();
  }
}

void start_watcher() {
  if (::pipe2(wake_pipe, O_CLOEXEC) != 0) return;
  ::fcntl(wake_pipe[1], F_SETFL, O_NONBLOCK);
  // The interrupts are for the check's thread (a read or a pause there wakes early); the
  // watcher is started with them blocked, so it never takes one.
  sigset_t interrupts, previous;
  sigemptyset(&interrupts);
  for (int signal_number : interrupt_signals) sigaddset(&interrupts, signal_number);
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  try {
    watcher = std::thread(watch_for_second_interrupt);
    watcher_running = true;
  } catch (const std::system_error&) {
    // No thread: a second interrupt ends the program at once, without last words.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!watcher_running) {
    ::close(wake_pipe[0]);
    ::close(wake_pipe[1]);
  }
}

void stop_watcher() {
  if (!watcher_running) return;
  const char byte = stop_byte;
  [[maybe_unused]] const ssize_t written = ::write(wake_pipe[1], &byte, 1);
  watcher.join();
  watcher_running = false;
  ::close(wake_pipe[0]);
  ::close(wake_pipe[1]);
}

bool stdin_is_foreground_terminal() {
  return isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

}  // namespace

Console::Console() {
  // A reader that quits (`pellora-cli ... | head -1`) must not kill the check before its log
  // file is written: its writes fail with EPIPE instead, here and in exit()'s last flush.
  signal(SIGPIPE, SIG_IGN);

  start_watcher();
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : interrupt_signals) sigaddset(&action.sa_mask, signal_number);
  for (std::size_t i = 0; i < std::size(interrupt_signals); ++i) {
    sigaction(interrupt_signals[i], &action, &previous_interrupt_actions[i]);
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
  // A second interrupt that came before this point still has its last words written.
  stop_watcher();
  set_last_words({});
}

void Console::set_last_words(std::function<void()> words) {
  const std::lock_guard lock(last_words_mutex);
  last_words = std::move(words);
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
