// The --report file: one JSON object whose fields scripts can rely on.

#include "frontend/report_json.h"

#include "frontend/diagnosis.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace frontend {
namespace {

TEST(ReportJson, HoldsEveryFieldWithItsType) {
  boot::Report r;
  r.port = "/dev/ttyUSB0";
  r.mode = boot::Mode::flash;
  r.outcome = boot::Outcome::wrong_answer;
  r.stage = boot::Stage::greeting;
  r.banner_watch.waited = std::chrono::milliseconds(1250);
  r.banner_watch.bytes_received = 18;
  r.banner_watch.first_bytes = {0xE0, 0x0D};
  r.failed_read = boot::FailedRead{4, {0x6F, 0x6B, 0x0D, 0x0A}};
  r.loader = boot::LoaderSent{boot::LoaderSource::stand_in, 43044, true, true};

  ReportContext context;
  context.tool = "pellora-cli";
  context.version = "9.8.7";
  context.exit_status = 1;
  // Bytes above 127 are Latin-1 characters, as the window shows them.
  context.log_text = "Power ON DB Device [ESC to Abort]\r\nHW ID: []\r\nabc\xE9\r\n";
  context.started_at = std::chrono::system_clock::from_time_t(1700000000);
  context.duration = std::chrono::duration<double>(2.5);

  const auto json = nlohmann::json::parse(report_json(r, context));
  EXPECT_EQ(json["tool"], "pellora-cli");
  EXPECT_EQ(json["version"], "9.8.7");
  EXPECT_EQ(json["port"], "/dev/ttyUSB0");
  EXPECT_EQ(json["mode"], "flash");
  EXPECT_EQ(json["outcome"], "wrong_answer");
  EXPECT_EQ(json["exit_status"], 1);
  EXPECT_EQ(json["stage"], "greeting");
  EXPECT_TRUE(json["error"].is_null());
  EXPECT_EQ(json["banner_watch"]["seconds"], 1.25);
  EXPECT_EQ(json["banner_watch"]["bytes_received"], 18);
  EXPECT_EQ(json["banner_watch"]["first_bytes_hex"], "E00D");
  EXPECT_EQ(json["failed_read"]["expected"], 4);
  EXPECT_EQ(json["failed_read"]["received_hex"], "6F6B0D0A");
  EXPECT_EQ(json["loader"]["source"], "stand-in");
  EXPECT_EQ(json["loader"]["size"], 43044);
  EXPECT_EQ(json["loader"]["crc_ok"], true);
  EXPECT_EQ(json["diagnosis"], diagnosis(r));
  EXPECT_EQ(json["log"],
            nlohmann::json({"Power ON DB Device [ESC to Abort]", "HW ID: []", "abc\xC3\xA9"}));
  EXPECT_EQ(json["started_at"], "2023-11-14T22:13:20Z");
  EXPECT_EQ(json["duration_s"], 2.5);
}

TEST(ReportJson, AnErrorAndNoReadOrLoaderAreNullsOrText) {
  boot::Report r;
  r.outcome = boot::Outcome::open_failed;
  r.error = "COM7: cannot open: in use by another program";
  const auto json = nlohmann::json::parse(report_json(r, {}));
  EXPECT_EQ(json["error"], "COM7: cannot open: in use by another program");
  EXPECT_TRUE(json["failed_read"].is_null());
  EXPECT_TRUE(json["loader"].is_null());
  EXPECT_EQ(json["log"], nlohmann::json::array());
}

}  // namespace
}  // namespace frontend
