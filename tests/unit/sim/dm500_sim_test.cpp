// dm500-sim run as the user runs it: the built executable, its arguments, its link, signals.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulated_box.h"
#include "tests/unit/sim/box_session.h"

namespace {

namespace fs = std::filesystem;
using namespace sim_test;
using Clock = std::chrono::steady_clock;

// A running dm500-sim with its stdout and stderr on pipes.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(err[1], 2);
      std::vector<char*> argv;
      static std::string program = DM500_SIM_PATH;
      argv.push_back(program.data());
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~SimProcess() {
    if (!exit_status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  // The first line on stdout, without its newline.
  std::string first_line(milliseconds timeout) {
    std::string line;
    const auto until = Clock::now() + timeout;
    char c = 0;
    while (Clock::now() < until) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (::read(out_, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }

  std::string all(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<std::size_t>(n));
    return text;
  }
  std::string all_stdout() { return all(out_); }
  std::string all_stderr() { return all(err_); }

  void signal(int number) { kill(pid_, number); }

  // The exit status, or nullopt if it is still running after the timeout.
  std::optional<int> wait_exit(milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (!exit_status_ && Clock::now() < until) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else {
        std::this_thread::sleep_for(milliseconds(10));
      }
    }
    return exit_status_;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::optional<int> exit_status_;
};

class Dm500Sim : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/dm500-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    link_ = (dir_ / "dm500").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string link_;
};

TEST_F(Dm500Sim, BadArgumentsExitWithStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{}, "--link"},
      {{"--bogus"}, "--bogus"},
      {{"--link"}, "needs a value"},
      {{"--link", "/tmp/x", "--scenario", "no-such"}, "no-such"},
      {{"--link", "/tmp/x", "--form", "C"}, "--form"},
      {{"--link", "/tmp/x", "--power-on-delay", "soon"}, "soon"},
      {{"--link", "/tmp/x", "--power-on-delay", "-5"}, "-5"},
      {{"--link", "/tmp/x", "--power-on-delay", "12ms"}, "12ms"},
      {{"--link", "/tmp/x", "--scenario", "form-b", "--form", "A"}, "form-b"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    SimProcess sim(c.args);
    EXPECT_EQ(sim.wait_exit(milliseconds(5000)), 2);
    const std::string err = sim.all_stderr();
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_EQ(sim.all_stdout(), "");
  }
}

TEST_F(Dm500Sim, ListsEveryScenarioAndHelps) {
  SimProcess list({"--list-scenarios"});
  EXPECT_EQ(list.wait_exit(milliseconds(5000)), 0);
  const std::string text = list.all_stdout();
  for (const sim::ScenarioInfo& info : sim::scenarios()) {
    EXPECT_NE(text.find(std::string(info.name) + " "), std::string::npos) << info.name;
    EXPECT_NE(text.find(std::string(info.description)), std::string::npos) << info.name;
  }

  SimProcess help({"--help"});
  EXPECT_EQ(help.wait_exit(milliseconds(5000)), 0);
  EXPECT_NE(help.all_stdout().find("usage: dm500-sim --link PATH"), std::string::npos);
}

TEST_F(Dm500Sim, ServesBehindItsLinkUntilTerminated) {
  // A stale link from an earlier run is replaced.
  fs::create_symlink("/dev/pts/no-such-terminal", link_);

  SimProcess sim({"--link", link_, "--no-pace", "--power-on-delay", "0"});
  ASSERT_EQ(sim.first_line(milliseconds(5000)), "ready " + link_);
  ASSERT_TRUE(fs::is_symlink(link_));
  EXPECT_EQ(fs::read_symlink(link_).string().rfind("/dev/pts/", 0), 0u);

  {
    PtyClient client(link_);
    EXPECT_EQ(client.read(banner_form_a.size(), reply_wait), banner_form_a);
    client.write("dream");
    EXPECT_EQ(client.read(4, reply_wait), greeting_reply);
  }

  sim.signal(SIGTERM);
  EXPECT_EQ(sim.wait_exit(milliseconds(5000)), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

TEST_F(Dm500Sim, RefusesToOverwriteARegularFile) {
  { std::ofstream(link_) << "keep me\n"; }
  SimProcess sim({"--link", link_, "--no-pace"});
  EXPECT_EQ(sim.wait_exit(milliseconds(5000)), 1);
  EXPECT_NE(sim.all_stderr().find("not a symbolic link"), std::string::npos);
  std::ifstream file(link_);
  std::string content;
  std::getline(file, content);
  EXPECT_EQ(content, "keep me");
}

TEST_F(Dm500Sim, SwitchesOnBySignalAndTracesWhatHappens) {
  SimProcess sim({"--link", link_, "--no-pace", "--trace", "--power-on-delay", "3600000"});
  ASSERT_EQ(sim.first_line(milliseconds(5000)), "ready " + link_);
  {
    PtyClient client(link_);
    EXPECT_TRUE(client.read(1, silence_wait).empty());  // still off
    sim.signal(SIGUSR1);
    EXPECT_EQ(client.read(banner_form_a.size(), reply_wait), banner_form_a);
  }
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.wait_exit(milliseconds(5000)), 0);
  const std::string trace = sim.all_stderr();
  EXPECT_NE(trace.find("stage: banner sent"), std::string::npos) << trace;
  EXPECT_NE(trace.find("box -> tool: E0 0D 44 72 65 61 6D"), std::string::npos) << trace;
}

TEST_F(Dm500Sim, StopsOnInterruptToo) {
  SimProcess sim({"--link", link_, "--scenario", "silent"});
  ASSERT_EQ(sim.first_line(milliseconds(5000)), "ready " + link_);
  sim.signal(SIGINT);
  EXPECT_EQ(sim.wait_exit(milliseconds(5000)), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

}  // namespace
