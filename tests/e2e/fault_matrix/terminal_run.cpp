// A row through pellora-cli: the built program as a child process against the row's far
// end, with --log and --report, and the row's act done to it from outside.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "../cli/child_process.h"
#include "far_end.h"
#include "output_place.h"
#include "runs.h"

namespace fault_matrix {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

// A terminal for the program's stdin, on which the test presses keys.
class Keyboard {
 public:
  Keyboard() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::system_error(errno, std::generic_category(), "posix_openpt");
    }
    path_ = ptsname(master_);
  }
  ~Keyboard() { ::close(master_); }
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  const std::string& path() const { return path_; }
  void press_esc() const { ASSERT_EQ(::write(master_, "\x1b", 1), 1); }

 private:
  int master_ = -1;
  std::string path_;
};

std::vector<std::string> stdout_lines(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(out.substr(start, end - start));
  }
  return lines;
}

// The log file that goes with what stdout showed: each line ends in CR LF there, where
// stdout ends it with LF alone (a line of console text may hold CR LF of its own).
std::string file_form_of(const std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) text += '\r';
    text += out[i];
  }
  return text;
}

void act(e2e::ChildProcess& child, Act what, const Keyboard* keyboard) {
  switch (what) {
    case Act::nothing:
    case Act::storm_during_scan:
      return;
    case Act::esc:
      return keyboard->press_esc();
    case Act::ctrl_c:
      return child.send_signal(SIGINT);
    case Act::ctrl_c_twice:
      child.send_signal(SIGINT);
      std::this_thread::sleep_for(50ms);
      return child.send_signal(SIGINT);
    case Act::ctrl_backslash:
      return child.send_signal(SIGQUIT);
    case Act::reader_quits:
      return child.close_stdout();
  }
}

std::string joined_report_log(const nlohmann::json& log) {
  std::string text;
  for (const auto& line : log) text += line.get<std::string>() + "\r\n";
  return text;
}

}  // namespace

void run_in_terminal(const Fault& fault) {
  FarEnd far_end(fault);
  OutputPlace place(fault.output);
  if (place.needs_unprivileged_writer()) far_end.open_to_anyone();
  far_end.make_trouble();

  std::optional<Keyboard> keyboard;
  if (fault.act == Act::esc) keyboard.emplace();
  e2e::ChildSetup setup;
  if (keyboard) setup.terminal = keyboard->path();
  setup.stdout_closed = fault.stdout_closed;
  if (far_end.check_runs_unprivileged() || place.needs_unprivileged_writer()) {
    setup.user = e2e::nobody();
  }
  e2e::ChildProcess child({PELLORA_CLI_PATH, "--port", far_end.port(), "--mode",
                           std::string(boot::mode_name(fault.mode)), "--log", place.log_path(),
                           "--report", place.report_path()},
                          setup);

  std::optional<long> size_before, size_after;
  if (fault.act != Act::nothing) {
    ASSERT_TRUE(child.wait_for_output(fault.act_after_line, 30s)) << child.out_so_far();
    size_before = child.resident_kib();
    const auto give_up = std::chrono::steady_clock::now() + 60s;
    while (far_end.box_sent() < fault.act_after_box_sent || !far_end.stalled()) {
      ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the row's moment never came";
      ASSERT_TRUE(child.pump_for(100ms)) << "the program ended before its moment";
    }
    // A blocked write has been blocked a while.
    child.pump_for(fault.port == PortTrouble::stalls_after_start ? 500ms : fault.act_delay);
    size_after = child.resident_kib();
    act(child, fault.act, keyboard ? &*keyboard : nullptr);
  }
  // Wide: a blocked write that is not given up holds for 103 s, which this cuts short.
  const e2e::Finished done = child.finish(60s);
  const Expected& expected = fault.expected;

  EXPECT_EQ(done.status, expected.exit_status) << done.err;
  const std::vector<std::string> shown = stdout_lines(done.out);
  const bool stdout_whole = !fault.stdout_closed && fault.act != Act::reader_quits;
  if (stdout_whole && !expected.last_log_line.empty()) {
    ASSERT_FALSE(shown.empty()) << done.err;
    EXPECT_EQ(shown.back(), expected.last_log_line) << done.out;
  }
  EXPECT_THAT(done.err, HasSubstr(expected.diagnosis));

  // Nothing lost: the log file holds exactly the log, and so does the report.
  const std::string log =
      expected.log.empty() ? file_form_of(done.out) : log_file_text(expected.log);
  if (expected.write_error.empty()) {
    if (const auto written = place.written(place.log_path())) {
      EXPECT_EQ(*written, log);
    }
    if (const auto written = place.written(place.report_path())) {
      const auto report = nlohmann::json::parse(*written, nullptr, false);
      ASSERT_FALSE(report.is_discarded()) << *written;
      EXPECT_EQ(report.value("outcome", ""), boot::outcome_name(expected.outcome));
      EXPECT_EQ(report.value("exit_status", -1), done.status);
      EXPECT_EQ(joined_report_log(report["log"]), log);
    }
    if (fault.output == OutputTarget::plain || fault.output == OutputTarget::symlink_to_file) {
      EXPECT_TRUE(place.written(place.log_path())) << "no log file";
      EXPECT_TRUE(place.written(place.report_path())) << "no report";
    }
  } else {
    for (const auto& [what, path] :
         {std::pair{"log", place.log_path()}, std::pair{"report", place.report_path()}}) {
      EXPECT_THAT(done.err, HasSubstr(std::string("cannot write the ") + what + " to \"" + path +
                                      "\": " + expected.write_error));
    }
  }
  place.expect_left_intact();

  if (size_before && size_after && fault.act_after_box_sent > 0 &&
      !built_with_address_sanitizer()) {
    EXPECT_LT(*size_after - *size_before, 1024) << "KiB grown while a megabyte of noise came in";
  }
}

std::string log_file_text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace fault_matrix
