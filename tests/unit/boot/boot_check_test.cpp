// The driver around both modes: opening the port, Esc, the window closing, a lost device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "case_name.h"
#include "rig.h"

namespace boot_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The port cannot be had: the log says so, the controls come back and the list is rebuilt.
struct OpenFailureCase {
  std::string_view name;
  std::string port_name;
  bool fail_open;
  bool fail_dtr;
};

class OpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailure, LogsRebuildsThePortListAndGivesTheControlsBack) {
  const OpenFailureCase& c = GetParam();
  Rig rig;
  rig.port_name = c.port_name;
  rig.port.fail_open = c.fail_open;
  rig.port.fail_dtr = c.fail_dtr;
  rig.script_good_flash_box();

  EXPECT_EQ(rig.run(), boot::Outcome::open_failed);
  EXPECT_THAT(rig.panel.log, ElementsAre("Failed Open Com Port!"));
  EXPECT_FALSE(rig.port.is_open());
  EXPECT_THAT(rig.panel.progress, ElementsAre(0));
  EXPECT_EQ(rig.panel.port_list_rebuilds, 1);
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_THAT(rig.port.reads, IsEmpty());
  // The failure path closes, enables the controls, then rebuilds the list.
  EXPECT_THAT(rig.trace.only({"port.close", "panel.enable", "panel.rebuild"}),
              ElementsAre("port.close", "panel.enable_control_set", "panel.rebuild_port_list"));
}

INSTANTIATE_TEST_SUITE_P(Open, OpenFailure,
                         ::testing::Values(OpenFailureCase{"NoPortChosen", "", false, false},
                                           OpenFailureCase{"OpenThrows", "ttyTEST0", true, false},
                                           OpenFailureCase{"DtrThrows", "ttyTEST0", false, true}),
                         CaseName{});

TEST(BootCheck, EscDuringTheBannerWatchAbortsEitherMode) {
  for (const boot::Mode mode : {boot::Mode::flash, boot::Mode::test}) {
    Rig rig;
    rig.mode = mode;
    rig.panel.on_messages = [&](int n) {
      if (n == 2) rig.panel.abort = true;  // Esc while the box stays dark
    };

    EXPECT_EQ(rig.run(), boot::Outcome::aborted);
    if (mode == boot::Mode::flash) {
      EXPECT_THAT(rig.panel.log,
                  ElementsAre("Power ON DB Device [ESC to Abort]", "HW ID: []", "User Abort!"));
    } else {
      EXPECT_THAT(rig.panel.log, ElementsAre("Power ON DB Device [ESC to Abort]", "User Abort!"));
    }
    EXPECT_EQ(rig.port.reads.size(), 3u);
    EXPECT_FALSE(rig.panel.abort);
    EXPECT_FALSE(rig.port.is_open());
    EXPECT_TRUE(rig.panel.controls_enabled);
    EXPECT_THAT(rig.port.writes, IsEmpty());
  }
}

TEST(BootCheck, EscPressedBeforeTheCheckDoesNotAbortIt) {
  Rig rig;
  rig.script_good_flash_box();
  rig.panel.abort = true;  // pressed while idle

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.panel.log.back(), "-No Need For JTAG !");
}

TEST(BootCheck, EscAfterTheBannerHasNoEffectOnFlashMode) {
  Rig rig;
  rig.script_good_flash_box();
  rig.port.after_write = [&](std::size_t n) {
    if (n == 0) rig.panel.abort = true;  // right after "dream"
  };

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.panel.log.back(), "-No Need For JTAG !");
}

TEST(BootCheck, AbortLeftFromAnEarlierCheckIsClearedAtTheStart) {
  Rig rig;
  rig.script_good_flash_box();
  rig.port.after_write = [&](std::size_t n) {
    if (n == 0) rig.panel.abort = true;
  };
  ASSERT_EQ(rig.run(), boot::Outcome::success);

  rig.port.after_write = nullptr;
  rig.script_good_flash_box();
  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.panel.log.back(), "-No Need For JTAG !");
}

// The window closes after the banner: the check stops before its next write.
struct CloseCase {
  std::string_view name;
  boot::Mode mode;
  std::size_t close_after_write;  // 0-based index of the write after which the user closes
  std::size_t writes;             // writes that went out in all
  std::string last_line_before_abort;
};

class WindowClosed : public ::testing::TestWithParam<CloseCase> {};

TEST_P(WindowClosed, StopsBeforeTheNextWriteAsUserAbort) {
  const CloseCase& c = GetParam();
  Rig rig;
  rig.mode = c.mode;
  rig.script_good_flash_box();
  if (c.mode == boot::Mode::test) rig.port.arrivals = {banner_a(), bytes_of("console\r\n")};
  rig.port.after_write = [&](std::size_t n) {
    if (n == c.close_after_write) rig.panel.close = true;
  };

  EXPECT_EQ(rig.run(), boot::Outcome::aborted);
  EXPECT_EQ(rig.port.writes.size(), c.writes);
  ASSERT_GE(rig.panel.log.size(), 2u);
  EXPECT_EQ(rig.panel.log[rig.panel.log.size() - 2], c.last_line_before_abort);
  EXPECT_EQ(rig.panel.log.back(), "User Abort!");
  EXPECT_FALSE(rig.port.is_open());
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_FALSE(rig.panel.save_log_visible);
}

INSTANTIATE_TEST_SUITE_P(
    AfterTheBanner, WindowClosed,
    ::testing::Values(
        CloseCase{"BeforeStartCommand", boot::Mode::flash, 0, 1, "Dreambox Detected...Ok!"},
        CloseCase{"BeforeUpload", boot::Mode::flash, 1, 2,
                  "Data1: [6C6F6164696E6720696E7374722E2066696C65]"},
        CloseCase{"DuringTheUpload", boot::Mode::flash, 5, 6, "Sending Flash Loader..."},
        CloseCase{"BeforeSpeedFrame", boot::Mode::flash, 44, 45, "Sending Flash Loader..."},
        CloseCase{"BeforeStatusFrame", boot::Mode::flash, 45, 46, "Settings Baudrate Ok!!"},
        CloseCase{"TestModeBeforeSingleReturn", boot::Mode::test, 0, 1, "console\r\n"}),
    CaseName{});

TEST(BootCheck, WindowClosedDuringTheBannerWatchEndsIt) {
  Rig rig;
  rig.panel.on_messages = [&](int n) {
    if (n == 1) rig.panel.close = true;  // the front end may not set the abort flag too
  };

  EXPECT_EQ(rig.run(), boot::Outcome::aborted);
  EXPECT_EQ(rig.report.stage, boot::Stage::banner) << "it was the wait that was stopped";
  EXPECT_EQ(rig.port.reads.size(), 2u);
  EXPECT_THAT(rig.panel.log,
              ElementsAre("Power ON DB Device [ESC to Abort]", "HW ID: []", "User Abort!"));
  EXPECT_THAT(rig.port.writes, IsEmpty());
  EXPECT_FALSE(rig.port.is_open());
}

// The adapter is pulled out mid-check: the serial error's text reaches the user, the port is
// given back and the controls work again.
struct DeviceLostCase {
  std::string_view name;
  boot::Mode mode;
  std::optional<std::size_t> read, write;
  bool close_fails_too;
  std::string message;
};

class DeviceLost : public ::testing::TestWithParam<DeviceLostCase> {};

TEST_P(DeviceLost, ReportsTheErrorAndReleasesThePort) {
  const DeviceLostCase& c = GetParam();
  Rig rig;
  rig.mode = c.mode;
  rig.script_good_flash_box();
  rig.port.fail_read_at = c.read;
  rig.port.fail_write_at = c.write;
  rig.port.fail_close = c.close_fails_too;

  EXPECT_EQ(rig.run(), boot::Outcome::device_error);
  EXPECT_EQ(rig.report.error, c.message);
  EXPECT_FALSE(rig.port.is_open());
  EXPECT_GE(rig.port.closes, 1);
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_FALSE(rig.panel.save_log_visible);
}

INSTANTIATE_TEST_SUITE_P(
    ReadOrWrite, DeviceLost,
    ::testing::Values(
        DeviceLostCase{
            "BannerRead", boot::Mode::flash, 0, {}, false, "ttyTEST0: read failed (scripted)"},
        DeviceLostCase{
            "GreetingWrite", boot::Mode::flash, {}, 0, false, "ttyTEST0: write failed (scripted)"},
        DeviceLostCase{
            "UploadWrite", boot::Mode::flash, {}, 20, false, "ttyTEST0: write failed (scripted)"},
        DeviceLostCase{
            "StatusRead", boot::Mode::flash, 5, {}, false, "ttyTEST0: read failed (scripted)"},
        DeviceLostCase{
            "CloseFailsToo", boot::Mode::flash, 2, {}, true, "ttyTEST0: read failed (scripted)"},
        DeviceLostCase{
            "TestModeBurst", boot::Mode::test, {}, 0, false, "ttyTEST0: write failed (scripted)"}),
    CaseName{});

// What the report says of each way a check can end: the step it ended at and what the
// failing read returned.
struct ReportCase {
  std::string_view name;
  boot::Mode mode;
  std::function<void(Rig&)> set_up;  // after the good box is scripted
  boot::Outcome outcome;
  boot::Stage stage;
  std::optional<boot::FailedRead> failed_read;
};

void replace_reply(Rig& rig, std::size_t read, std::string_view reply) {
  rig.port.arrivals[read] = bytes_of(reply);
}

class ReportSays : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportSays, WhereTheCheckEndedAndWhatCame) {
  const ReportCase& c = GetParam();
  Rig rig;
  rig.mode = c.mode;
  rig.script_good_flash_box();
  if (c.mode == boot::Mode::test) rig.port.arrivals = {banner_a(), bytes_of("login:")};
  if (c.set_up) c.set_up(rig);

  EXPECT_EQ(rig.run(), c.outcome);
  EXPECT_EQ(rig.report.stage, c.stage);
  EXPECT_EQ(rig.report.port, "ttyTEST0");
  EXPECT_EQ(rig.report.mode, c.mode);
  ASSERT_EQ(rig.report.failed_read.has_value(), c.failed_read.has_value());
  if (c.failed_read) {
    EXPECT_EQ(rig.report.failed_read->expected, c.failed_read->expected);
    EXPECT_EQ(rig.report.failed_read->received, c.failed_read->received);
  }
  EXPECT_EQ(rig.report.error.empty(),
            c.outcome != boot::Outcome::device_error && c.outcome != boot::Outcome::open_failed);
}

using boot::Outcome;
using boot::Stage;

INSTANTIATE_TEST_SUITE_P(
    Endings, ReportSays,
    ::testing::Values(
        ReportCase{"GoodFlash", boot::Mode::flash, {}, Outcome::success, Stage::done, {}},
        ReportCase{"GoodTest", boot::Mode::test, {}, Outcome::success, Stage::done, {}},
        ReportCase{"OpenFails",
                   boot::Mode::flash,
                   [](Rig& r) { r.port.fail_open = true; },
                   Outcome::open_failed,
                   Stage::open,
                   {}},
        ReportCase{"EscInTheWatch",
                   boot::Mode::flash,
                   [](Rig& r) {
                     r.port.arrivals.clear();
                     r.panel.on_messages = [&r](int n) { r.panel.abort = n == 3; };
                   },
                   Outcome::aborted,
                   Stage::banner,
                   {}},
        ReportCase{"GreetingWrong", boot::Mode::flash,
                   [](Rig& r) { replace_reply(r, 1, "ok\r\n"); }, Outcome::wrong_answer,
                   Stage::greeting, boot::FailedRead{4, bytes_of("ok\r\n")}},
        ReportCase{"StartSilent", boot::Mode::flash, [](Rig& r) { replace_reply(r, 2, ""); },
                   Outcome::wrong_answer, Stage::start, boot::FailedRead{19, {}}},
        ReportCase{"StatusWithoutMark", boot::Mode::flash,
                   [](Rig& r) { replace_reply(r, 5, "client: no"); }, Outcome::wrong_answer,
                   Stage::loader, boot::FailedRead{80, bytes_of("client: no")}},
        ReportCase{"LostInTheUpload",
                   boot::Mode::flash,
                   [](Rig& r) { r.port.fail_write_at = 9; },
                   Outcome::device_error,
                   Stage::upload,
                   {}},
        ReportCase{"LostAtTheStatusRead",
                   boot::Mode::flash,
                   [](Rig& r) { r.port.fail_read_at = 5; },
                   Outcome::device_error,
                   Stage::loader,
                   {}},
        ReportCase{"LostInTheConsole",
                   boot::Mode::test,
                   [](Rig& r) { r.port.fail_write_at = 1; },
                   Outcome::device_error,
                   Stage::console,
                   {}}),
    CaseName{});

TEST(ReportSays, WhichLoaderImageWentOut) {
  Rig rig;
  rig.script_good_flash_box();
  rig.image = boot::LoaderImage{test_image(), boot::LoaderSource::file, true, false};

  rig.run();

  ASSERT_TRUE(rig.report.loader.has_value());
  EXPECT_EQ(rig.report.loader->source, boot::LoaderSource::file);
  EXPECT_EQ(rig.report.loader->size, test_image().size());
  EXPECT_TRUE(rig.report.loader->header_ok);
  EXPECT_FALSE(rig.report.loader->crc_ok);
}

// A front end that must end at once (a second Ctrl-C) writes the report as the panel was
// last told it: each step is told as the check gets there, with what it found by then.
TEST(ReportSays, HowFarTheCheckHasGotAsItGoes) {
  Rig rig;
  rig.script_good_flash_box();
  rig.panel.on_messages = [&](int n) {
    if (n == 0) {
      EXPECT_EQ(rig.panel.told.stage, Stage::banner);
      EXPECT_EQ(rig.panel.told.port, rig.port_name);
    }
  };

  rig.run();

  EXPECT_THAT(rig.panel.stages_told,
              ElementsAre(Stage::open, Stage::banner, Stage::greeting, Stage::start, Stage::upload,
                          Stage::loader, Stage::done));
  EXPECT_GT(rig.panel.told.banner_watch.bytes_received, 0u);
  EXPECT_TRUE(rig.panel.told.loader.has_value());
}

// The box answered "client: ok" and then the line went: a good box is a good box, and the
// loss is told after the verdict.
TEST(ReportSays, ALineLostAfterTheVerdictIsANote) {
  for (const bool lost_in_last_read : {true, false}) {
    Rig rig;
    rig.script_good_flash_box();
    if (lost_in_last_read) {
      rig.port.fail_read_at = 6;  // the read that drops the rest of the reply
    } else {
      rig.port.pending = "ttyTEST0: hung up after the last read";
    }

    EXPECT_EQ(rig.run(), boot::Outcome::success);
    EXPECT_EQ(rig.panel.log.back(), "-No Need For JTAG !");
    EXPECT_EQ(rig.report.after_verdict_note, lost_in_last_read
                                                 ? "ttyTEST0: read failed (scripted)"
                                                 : "ttyTEST0: hung up after the last read");
    EXPECT_TRUE(rig.report.error.empty());
  }
}

// The status reply is wrong because the line went as it came: the wrong answer stands, and
// the loss goes with it instead of away with the port.
TEST(ReportSays, ALineLostWithAWrongAnswerIsANoteToo) {
  Rig rig;
  rig.script_good_flash_box();
  rig.port.arrivals[5] = bytes_of("\n");  // no "client: ok", only what the speed reply left
  rig.port.pending = "ttyTEST0: hung up after the last read";

  EXPECT_EQ(rig.run(), boot::Outcome::wrong_answer);
  EXPECT_EQ(rig.report.after_verdict_note, "ttyTEST0: hung up after the last read");
  EXPECT_FALSE(rig.port.is_open());
}

// A line that takes no bytes: closing the window (or Ctrl-C) gives the write up at once,
// with "User Abort!" and the port released; otherwise the write waits on.
TEST(ReportSays, AStalledWriteIsGivenUpOnClose) {
  for (const bool closed : {true, false}) {
    Rig rig;
    rig.script_good_flash_box();
    rig.port.stall_write_at = 10;  // a piece of the upload
    rig.panel.on_messages = [&](int n) {
      if (closed && n >= 3) rig.panel.close = true;
    };

    const boot::Outcome outcome = rig.run();
    if (closed) {
      EXPECT_EQ(outcome, boot::Outcome::aborted);
      EXPECT_EQ(rig.report.stage, boot::Stage::upload);
      EXPECT_EQ(rig.panel.log.back(), "User Abort!");
      EXPECT_FALSE(rig.port.is_open());
      EXPECT_TRUE(rig.panel.controls_enabled);
      EXPECT_LT(rig.port.stall_checks, ScriptedPort::max_stall_checks);
    } else {
      EXPECT_EQ(outcome, boot::Outcome::success);
      EXPECT_EQ(rig.port.stall_checks, ScriptedPort::max_stall_checks);
    }
  }
}

}  // namespace
}  // namespace boot_test
