// Flash Mode from the banner to "-No Need For JTAG !", and every way it stops early.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boot/loader_frames.h"
#include "case_name.h"
#include "rig.h"

namespace boot_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const serial::Bytes greeting = bytes_of("dream");
const serial::Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
const serial::Bytes speed_frame_bytes = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2,
                                         0x00, 0x00, 0x09, 0x34, 0x00, 0x00, 0xFF, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
const serial::Bytes status_frame_bytes = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};

constexpr std::string_view hw_id_a = "HW ID: [E00D447265616D626F782044004D3530300D]";
constexpr std::string_view data1_ok = "Data1: [6C6F6164696E6720696E7374722E2066696C65]";
constexpr std::string_view data2_ok =
    "Data2: [636C69656E743A206F6B2C2069276D206E6F7720617474616368656420746F2061207365]";

serial::Bytes joined(std::initializer_list<serial::Bytes> parts) {
  serial::Bytes all;
  for (const serial::Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(FlashMode, GoodBoxRunsTheWholeSequence) {
  Rig rig;
  rig.script_good_flash_box();

  EXPECT_EQ(rig.run(), boot::Outcome::success);

  EXPECT_THAT(
      rig.panel.log,
      ElementsAre("Power ON DB Device [ESC to Abort]", hw_id_a, "Dreambox Detected...Ok!", data1_ok,
                  "Sending Flash Loader...", "Settings Baudrate Ok!!", data2_ok, "Boot Success!",
                  "-Flash Chip Status Good !", "-Boot Success & Alive !", "-No Need For JTAG !"));

  // The wire: greeting, start command, the image unchanged in 1024-byte pieces, two frames.
  ASSERT_EQ(rig.port.writes.size(), 2u + 43u + 2u);
  EXPECT_EQ(rig.port.writes[0], greeting);
  EXPECT_EQ(rig.port.writes[1], start_command);
  for (std::size_t piece = 0; piece < 42; ++piece) {
    EXPECT_EQ(rig.port.writes[2 + piece].size(), 1024u) << "piece " << piece;
  }
  EXPECT_EQ(rig.port.writes[44].size(), 36u);
  EXPECT_EQ(rig.port.writes[45], speed_frame_bytes);
  EXPECT_EQ(rig.port.writes[46], status_frame_bytes);
  EXPECT_EQ(rig.port.wire(),
            joined({greeting, start_command, test_image(), speed_frame_bytes, status_frame_bytes}));

  // The gauge: reset when the port opens, then one value after each piece.
  EXPECT_THAT(rig.panel.progress,
              ElementsAre(0, 2, 5, 7, 10, 12, 14, 17, 19, 21, 24, 26, 29, 31, 33, 36, 38, 40, 43,
                          45, 48, 50, 52, 55, 57, 59, 62, 64, 67, 69, 71, 74, 76, 79, 81, 83, 86,
                          88, 90, 93, 95, 98, 100, 100));

  // Reads and fixed waits, in order, with the profile each read ran under.
  EXPECT_THAT(
      rig.trace.only({"port.read", "clock", "port.set_timeouts"}),
      ElementsAre("port.set_timeouts 50/50/1", "port.read 18 50/50/1",
                  "port.set_timeouts 1500/1500/1", "port.read 4 1500/1500/1",
                  "port.read 19 1500/1500/1", "clock.sleep 1650", "clock.sleep 800",
                  "port.read 100 1500/1500/1", "clock.sleep 700", "port.read 30 1500/1500/1",
                  "port.read 80 1500/1500/1", "port.read 200 1500/1500/1"));

  EXPECT_TRUE(rig.port.is_open());
  EXPECT_EQ(rig.port.closes, 0);
  EXPECT_EQ(rig.port.baud_rate(), 115200u);
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_TRUE(rig.panel.save_log_visible);
  EXPECT_TRUE(rig.report.error.empty());
}

TEST(FlashMode, CheckStartsByPreparingTheWindowAndThePort) {
  Rig rig;
  rig.script_good_flash_box();
  rig.panel.save_log_visible = true;  // from an earlier run

  rig.run();

  const std::vector<std::string> start(rig.trace.events.begin(), rig.trace.events.begin() + 13);
  EXPECT_THAT(start,
              ElementsAre("panel.clear_log", "panel.disable_control_set", "panel.save_log hidden",
                          "panel.abort cleared", "panel.progress 0", "port.set_baud_rate 115200",
                          "port.set_stop_bits one", "port.set_port ttyTEST0",
                          "port.set_timeouts 50/50/1", "port.open", "port.dtr on", "port.rts on",
                          "panel.line Power ON DB Device [ESC to Abort]"));
}

// Where the box answers wrongly, or not at all, and what the log then shows.
struct FailureCase {
  std::string_view name;
  std::vector<serial::Bytes> replies_after_banner;  // one per read
  bool with_image;
  boot::Outcome outcome;
  std::vector<std::string> log_after_hw_id;
  std::size_t writes;
};

class FlashModeFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FlashModeFailures, LogsAndReleasesAsTheStepSays) {
  const FailureCase& c = GetParam();
  Rig rig;
  rig.port.arrivals = {banner_a()};
  for (const serial::Bytes& reply : c.replies_after_banner) rig.port.arrivals.push_back(reply);
  if (!c.with_image) rig.image = std::nullopt;

  EXPECT_EQ(rig.run(), c.outcome);

  std::vector<std::string> expected_log = {"Power ON DB Device [ESC to Abort]",
                                           std::string(hw_id_a)};
  expected_log.insert(expected_log.end(), c.log_after_hw_id.begin(), c.log_after_hw_id.end());
  EXPECT_THAT(rig.panel.log, ElementsAreArray(expected_log));
  EXPECT_EQ(rig.port.writes.size(), c.writes);
  EXPECT_TRUE(rig.panel.controls_enabled);
  EXPECT_EQ(rig.panel.save_log_visible, c.outcome == boot::Outcome::success);
  EXPECT_EQ(rig.port.is_open(), c.outcome == boot::Outcome::success);
  EXPECT_TRUE(rig.report.error.empty());
}

const std::string sending = "Sending Flash Loader...";
const std::vector<std::string> success_lines = {"Boot Success!", "-Flash Chip Status Good !",
                                                "-Boot Success & Alive !", "-No Need For JTAG !"};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FlashModeFailures,
    ::testing::Values(
        FailureCase{"GreetingAnsweredCrLf",
                    {bytes_of("ok\r\n")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Wrong Boot Response!"},
                    1},
        FailureCase{"GreetingUnanswered",
                    {},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Wrong Boot Response!"},
                    1},
        FailureCase{"GreetingAnsweredShort",
                    {bytes_of("ok\n")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Wrong Boot Response!"},
                    1},
        // The extra bytes stay queued and spoil the start reply.
        FailureCase{"GreetingReplyWithExtraBytes",
                    {bytes_of("ok\n\rXY"), bytes_of("loading instr. file")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Dreambox Detected...Ok!", "Data1: [58596C6F6164696E6720696E7374722E206669]",
                     "Wrong Boot Response!"},
                    2},
        FailureCase{"StartCommandUnanswered",
                    {bytes_of("ok\n\r")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Dreambox Detected...Ok!", "Data1: []", "Wrong Boot Response!"},
                    2},
        FailureCase{"StartReplyOneByteOff",
                    {bytes_of("ok\n\r"), bytes_of("loading instr. filE")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Dreambox Detected...Ok!", "Data1: [6C6F6164696E6720696E7374722E2066696C45]",
                     "Wrong Boot Response!"},
                    2},
        FailureCase{"StatusReplyWithoutMark",
                    {bytes_of("ok\n\r"),
                     bytes_of("loading instr. file"),
                     {},
                     bytes_of(speed_reply),
                     bytes_of("client: no")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Dreambox Detected...Ok!", std::string(data1_ok), sending,
                     "Settings Baudrate Ok!!", "Data2: [636C69656E743A206E6F]"},
                    2 + 43 + 2},
        FailureCase{"LoaderSilent",
                    {bytes_of("ok\n\r"), bytes_of("loading instr. file")},
                    true,
                    boot::Outcome::wrong_answer,
                    {"Dreambox Detected...Ok!", std::string(data1_ok), sending, "Data2: []"},
                    2 + 43 + 2},
        // Only the status reply decides.
        FailureCase{"SpeedReplyWithoutMarkGoesOn",
                    {bytes_of("ok\n\r"),
                     bytes_of("loading instr. file"),
                     {},
                     bytes_of("setting baudrate to 9600"),
                     bytes_of(status_reply)},
                    true,
                    boot::Outcome::success,
                    concat({"Dreambox Detected...Ok!", std::string(data1_ok), sending,
                            std::string(data2_ok)},
                           success_lines),
                    2 + 43 + 2},
        // The marks are found wherever they stand, zero bytes before them included.
        FailureCase{"MarksAfterZeroBytes",
                    {bytes_of("ok\n\r"),
                     bytes_of("loading instr. file"),
                     {},
                     joined({{0x00, 0x01}, bytes_of("setting baudrate to 115200")}),
                     joined({{0x00}, bytes_of("client: ok")})},
                    true,
                    boot::Outcome::success,
                    concat({"Dreambox Detected...Ok!", std::string(data1_ok), sending,
                            "Settings Baudrate Ok!!", "Data2: [00636C69656E743A206F6B]"},
                           success_lines),
                    2 + 43 + 2},
        // No image: nothing is logged for it and the frames follow the handshake directly.
        FailureCase{"ImageMissing",
                    {bytes_of("ok\n\r"),
                     bytes_of("loading instr. file"),
                     {},
                     bytes_of(speed_reply),
                     bytes_of(status_reply)},
                    false,
                    boot::Outcome::success,
                    concat({"Dreambox Detected...Ok!", std::string(data1_ok),
                            "Settings Baudrate Ok!!", std::string(data2_ok)},
                           success_lines),
                    2 + 2},
        // The line end after the start reply is swallowed by the read after the upload.
        FailureCase{"StartReplyWithLineEnd",
                    {bytes_of("ok\n\r"),
                     bytes_of("loading instr. file\r\n"),
                     {},
                     bytes_of(speed_reply),
                     bytes_of(status_reply)},
                    true,
                    boot::Outcome::success,
                    concat({"Dreambox Detected...Ok!", std::string(data1_ok), sending,
                            "Settings Baudrate Ok!!", std::string(data2_ok)},
                           success_lines),
                    2 + 43 + 2}),
    CaseName{});

TEST(FlashMode, ImageMissingSendsOnlyTheFrames) {
  Rig rig;
  rig.script_good_flash_box();
  rig.image = std::nullopt;

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.port.wire(),
            joined({greeting, start_command, speed_frame_bytes, status_frame_bytes}));
  EXPECT_THAT(rig.panel.progress, ElementsAre(0));
}

TEST(FlashMode, ShortImageGoesInOnePiece) {
  Rig rig;
  rig.script_good_flash_box();
  const serial::Bytes image = {0x00, 0x52, 0x50, 0x4F, 0x48};
  rig.image = boot::LoaderImage{image};

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  ASSERT_EQ(rig.port.writes.size(), 5u);
  EXPECT_EQ(rig.port.writes[2], image);
  EXPECT_THAT(rig.panel.progress, ElementsAre(0, 100));
}

TEST(FlashMode, BannerFormBIsAccepted) {
  Rig rig;
  rig.script_good_flash_box();
  rig.port.arrivals.front() = banner_b();

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.panel.log[1], "HW ID: [F00D447265616D626F782044004D3530300D]");
}

}  // namespace
}  // namespace boot_test
