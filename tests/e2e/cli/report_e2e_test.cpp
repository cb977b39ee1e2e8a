// --report through the program, for every scenario of the simulated box: the JSON says
// where the check ended and what the line brought, the same as stderr's diagnosis, and the
// log in it is the log on stdout.

#include <signal.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "child_process.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using testing::Ge;
using testing::HasSubstr;

struct ReportRow {
  std::string scenario;
  std::string outcome;
  int status;
  testing::Matcher<std::string> stage;
  testing::Matcher<int> banner_bytes;
  bool uploaded;  // the report names the loader image sent
  std::string diagnosis_says;
};

void PrintTo(const ReportRow& row, std::ostream* os) {
  *os << row.scenario;
}

class ReportFile : public testing::TestWithParam<ReportRow> {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("pellora-report-" + std::to_string(::getpid()) + "-" + GetParam().scenario + ".json");
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::filesystem::path path_;
};

TEST_P(ReportFile, SaysWhereTheCheckEndedAndWhatCame) {
  const ReportRow& row = GetParam();
  ChildProcess child(
      {PELLORA_CLI_PATH, "--demo=" + row.scenario, "--mode", "flash", "--report", path_.string()});
  if (row.scenario == "silent") {
    // A box that never greets is waited for until the user stops it.
    ASSERT_TRUE(child.wait_for_output("Power ON DB Device", 20s));
    std::this_thread::sleep_for(500ms);
    child.send_signal(SIGTERM);
  }
  const Finished done = child.finish(60s);
  ASSERT_EQ(done.status, row.status) << done.err;

  std::ifstream in(path_);
  ASSERT_TRUE(in) << "no report at " << path_;
  const nlohmann::json report = nlohmann::json::parse(in);
  EXPECT_EQ(report["tool"], "pellora-cli");
  EXPECT_EQ(report["mode"], "flash");
  EXPECT_EQ(report["outcome"], row.outcome);
  EXPECT_EQ(report["exit_status"], row.status);
  EXPECT_THAT(report["stage"].get<std::string>(), row.stage);
  EXPECT_THAT(report["banner_watch"]["bytes_received"].get<int>(), row.banner_bytes);
  EXPECT_EQ(!report["loader"].is_null(), row.uploaded);
  EXPECT_THAT(report["diagnosis"].get<std::string>(), HasSubstr(row.diagnosis_says));
  // The diagnosis on stderr follows the summary line, and is the report's.
  EXPECT_THAT(done.err, HasSubstr("result: "));
  EXPECT_THAT(done.err, HasSubstr(report["diagnosis"].get<std::string>()));
  std::string log;
  for (const auto& line : report["log"]) log += line.get<std::string>() + "\n";
  EXPECT_EQ(log, done.out);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ReportFile,
    testing::Values(
        ReportRow{"good", "success", 0, "done", 18, true, "The box boots"},
        ReportRow{"form-b", "success", 0, "done", 18, true, "The box boots"},
        ReportRow{"silent", "aborted", 130, "banner", 0, false, "Nothing at all arrived"},
        ReportRow{"reply-crlf", "wrong_answer", 1, "greeting", 18, false, "4 bytes (6F 6B 0D 0A)"},
        ReportRow{"slow-ok", "wrong_answer", 1, "greeting", 18, false, "nothing came back"},
        ReportRow{"flood", "wrong_answer", 1, "greeting", Ge(18), false,
                  "did not answer \"dream\""},
        ReportRow{"reply-extra", "wrong_answer", 1, "start", 18, false, "start command"},
        ReportRow{"no-start-reply", "wrong_answer", 1, "start", 18, false, "nothing came back"},
        ReportRow{"start-reply-lineend", "success", 0, "done", 18, true, "The box boots"},
        ReportRow{"bad-speed-reply", "success", 0, "done", 18, true, "The box boots"},
        ReportRow{"no-status", "wrong_answer", 1, "loader", 18, true, "accepted the upload"},
        ReportRow{"noise-before-banner", "success", 0, "done", Ge(19), true, "The box boots"},
        ReportRow{"split-banner", "success", 0, "done", 18, true, "The box boots"},
        // The pseudo-terminal may take the rest of the image before the loss shows.
        ReportRow{"unplug-during-upload", "device_error", 4, testing::AnyOf("upload", "loader"), 18,
                  true, "The serial device failed"}),
    [](const testing::TestParamInfo<ReportRow>& param_info) {
      std::string name = param_info.param.scenario;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

}  // namespace
}  // namespace e2e
