// dm500-sim: a simulated DM500 behind a symbolic link, for trying the tool without a box.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "frontend/standard_streams.h"
#include "sim/sim_command_line.h"
#include "sim/simulated_box.h"

namespace {

constexpr int exit_usage = 2;
constexpr int exit_failure = 1;

std::string system_reason() {
  return std::strerror(errno);
}

// Points link at target, replacing an old symbolic link but never anything else.
bool make_link(const std::string& link, const std::string& target) {
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    std::fprintf(stderr, "dm500-sim: %s exists and is not a symbolic link; not replacing it\n",
                 link.c_str());
    return false;
  }
  // Build the new link beside the old one and move it over, so PATH never dangles.
  const std::string fresh = link + ".dm500-sim-" + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "dm500-sim: cannot create link %s: %s\n", link.c_str(),
                 system_reason().c_str());
    ::unlink(fresh.c_str());
    return false;
  }
  return true;
}

// Removes the link only if it still points at our terminal.
void remove_link(const std::string& link, const std::string& target) {
  std::vector<char> buffer(target.size() + 2);
  const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target) {
    ::unlink(link.c_str());
  }
}

int serve(sim::CommandLine line) {
  if (line.trace) {
    line.options.trace = [](std::string_view text) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    };
  }
  sim::SimulatedBox box(line.options);
  if (!make_link(line.link, box.slave_path())) return exit_failure;
  std::printf("ready %s\n", line.link.c_str());
  std::fflush(stdout);

  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&signals, s);
  for (;;) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) continue;
    if (received == SIGUSR1) {
      box.power_on();
    } else if (received == SIGUSR2) {
      box.power_off();
    } else {
      break;
    }
  }
  remove_link(line.link, box.slave_path());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Else the pseudo-terminal could become stdout, and "ready" would go to the tool as noise.
  if (!frontend::fill_closed_standard_streams()) return exit_failure;
  // Block the signals before the box's thread starts, so only sigwait() sees them.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::CommandLine line;
  try {
    line = sim::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const sim::UsageError& error) {
    std::fprintf(stderr, "dm500-sim: %s\nTry 'dm500-sim --help'.\n", error.what());
    return exit_usage;
  }
  switch (line.action) {
    case sim::CommandLine::Action::help:
      std::fputs(sim::usage_text().c_str(), stdout);
      return 0;
    case sim::CommandLine::Action::list_scenarios:
      std::fputs(sim::scenario_list_text().c_str(), stdout);
      return 0;
    case sim::CommandLine::Action::serve:
      break;
  }
  try {
    return serve(std::move(line));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dm500-sim: %s\n", error.what());
    return exit_failure;
  }
}
