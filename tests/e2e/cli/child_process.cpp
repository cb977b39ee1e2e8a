#include "child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

std::pair<uid_t, gid_t> nobody() {
  const passwd* user = getpwnam("nobody");
  if (user == nullptr) throw std::runtime_error("no user \"nobody\" on this system");
  return {user->pw_uid, user->pw_gid};
}

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           std::optional<std::string> terminal)
    : ChildProcess(args, ChildSetup{std::move(terminal), false, std::nullopt}) {}

ChildProcess::ChildProcess(const std::vector<std::string>& args, const ChildSetup& setup) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) fail("pipe");
  pid_ = fork();
  if (pid_ < 0) fail("fork");
  if (pid_ == 0) {
    int in = -1;
    if (setup.terminal) {
      setsid();  // a new session, whose controlling terminal is the first one opened
      in = open(setup.terminal->c_str(), O_RDWR);
    } else {
      in = open("/dev/null", O_RDONLY);
    }
    if (in < 0) _exit(127);
    dup2(in, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    if (setup.stdout_closed) close(STDOUT_FILENO);
    close(out[0]);
    close(err[0]);
    if (setup.user) {
      const auto [uid, gid] = *setup.user;
      if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
          setresuid(uid, uid, uid) != 0) {
        _exit(126);
      }
    }
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

bool ChildProcess::pump(std::chrono::milliseconds timeout) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (out_fd_ < 0 && err_fd_ < 0) return false;
  const int ready = poll(fds, 2, static_cast<int>(timeout.count()));
  if (ready < 0 && errno != EINTR) fail("poll");
  for (auto& fd : fds) {
    if (fd.fd < 0 || fd.revents == 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd.fd, buffer, sizeof buffer);
    std::string& sink = fd.fd == out_fd_ ? result_.out : result_.err;
    if (n > 0) {
      sink.append(buffer, static_cast<std::size_t>(n));
    } else {
      close(fd.fd);
      (fd.fd == out_fd_ ? out_fd_ : err_fd_) = -1;
    }
  }
  return out_fd_ >= 0 || err_fd_ >= 0;
}

bool ChildProcess::wait_for_output(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (result_.out.find(text) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !pump(left)) return result_.out.find(text) != std::string::npos;
  }
  return true;
}

bool ChildProcess::pump_for(std::chrono::milliseconds time) {
  const auto deadline = Clock::now() + time;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return true;
    if (!pump(left)) return false;
  }
}

std::optional<long> ChildProcess::resident_kib() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return std::nullopt;
}

void ChildProcess::send_signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

void ChildProcess::close_stdout() {
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
}

Finished ChildProcess::finish(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      kill(pid_, SIGKILL);
      break;
    }
    if (!pump(left)) break;
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  // What the child wrote just before it ended; bounded in case a pipe was inherited.
  for (int i = 0; i < 20 && pump(std::chrono::milliseconds(50)); ++i) {
  }
  result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result_;
}

Finished run(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
  return ChildProcess(args).finish(timeout);
}

}  // namespace e2e
