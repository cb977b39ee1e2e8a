#pragma once
// Runs a program as a child process with its stdout and stderr captured, for tests that
// drive the built executable from outside.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

struct Finished {
  int status = -1;  // the exit status; 128 + n when killed by signal n
  std::string out, err;
};

// How the child starts, beyond its arguments.
struct ChildSetup {
  // stdin is /dev/null, or this terminal, which becomes the child's controlling terminal
  // with the child in the foreground (as when started from a shell).
  std::optional<std::string> terminal;
  // Started with stdout closed (`program >&-`); out stays empty.
  bool stdout_closed = false;
  // Runs under this user and group, with no supplementary groups (needs root).
  std::optional<std::pair<uid_t, gid_t>> user;
};

// The user "nobody" and its group, for running a child without privileges.
std::pair<uid_t, gid_t> nobody();

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& args,
                        std::optional<std::string> terminal = std::nullopt);
  ChildProcess(const std::vector<std::string>& args, const ChildSetup& setup);
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Collects output until stdout holds text; false if the child ended or time ran out first.
  bool wait_for_output(std::string_view text, std::chrono::milliseconds timeout);
  // Collects output for a while (so the child never blocks on a full pipe); false once the
  // child has closed both.
  bool pump_for(std::chrono::milliseconds time);
  const std::string& out_so_far() const { return result_.out; }
  // The child's resident memory in KiB, while it runs.
  std::optional<long> resident_kib() const;
  void send_signal(int signal_number);
  // Stops reading the child's stdout, as a pipeline's reader that has quit.
  void close_stdout();
  // Collects the rest of the output and the exit status; a child still running after the
  // timeout is killed, and the status says so (128 + SIGKILL).
  Finished finish(std::chrono::milliseconds timeout);

 private:
  // Reads whatever the pipes hold within the time given; false once both are closed.
  bool pump(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1;
  Finished result_;
};

// Runs to the end (or the timeout) with stdin on /dev/null.
Finished run(const std::vector<std::string>& args,
             std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace e2e
