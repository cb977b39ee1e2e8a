// What a user is told about each ending: the facts of the report and the advice that fits.

#include "frontend/diagnosis.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace frontend {
namespace {

using boot::Outcome;
using boot::Stage;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

serial::Bytes bytes_of(std::string_view text) {
  return {text.begin(), text.end()};
}

boot::Report report(Outcome outcome, Stage stage) {
  boot::Report r;
  r.port = "/dev/ttyUSB0";
  r.outcome = outcome;
  r.stage = stage;
  return r;
}

struct DiagnosisCase {
  std::string_view name;
  std::function<boot::Report()> make;
  std::vector<std::string> says;      // each of these, in any order
  std::vector<std::string> not_says;  // none of these
};

void PrintTo(const DiagnosisCase& c, std::ostream* os) {
  *os << c.name;
}

class Diagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(Diagnosis, SaysWhatHappenedAndWhatToTry) {
  const std::string text = diagnosis(GetParam().make());
  for (const std::string& part : GetParam().says) EXPECT_THAT(text, HasSubstr(part));
  for (const std::string& part : GetParam().not_says) EXPECT_THAT(text, Not(HasSubstr(part)));
  EXPECT_EQ(text.find('\n'), std::string::npos) << "one paragraph";
}

boot::Report open_failed(serial::Fault fault, std::string error) {
  boot::Report r = report(Outcome::open_failed, Stage::open);
  r.fault = fault;
  r.error = std::move(error);
  return r;
}

boot::Report silent_line() {
  boot::Report r = report(Outcome::aborted, Stage::banner);
  r.banner_watch.waited = std::chrono::milliseconds(12345);
  return r;
}

boot::Report noisy_line() {
  boot::Report r = report(Outcome::aborted, Stage::banner);
  r.banner_watch.waited = std::chrono::milliseconds(3000);
  r.banner_watch.bytes_received = 240;
  r.banner_watch.first_bytes = {0xFF, 0x00, 0x7E};
  return r;
}

boot::Report wrong_at(Stage stage, std::string_view received, std::size_t expected) {
  boot::Report r = report(Outcome::wrong_answer, stage);
  r.failed_read = boot::FailedRead{expected, bytes_of(received)};
  return r;
}

boot::Report loader_silent(boot::LoaderSource source, bool crc_ok = true) {
  boot::Report r = wrong_at(Stage::loader, "", 80);
  r.loader = boot::LoaderSent{source, 43044, true, crc_ok};
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Endings, Diagnosis,
    testing::Values(
        DiagnosisCase{"GoodFlash",
                      [] { return report(Outcome::success, Stage::done); },
                      {"The box boots", "no JTAG rescue"},
                      {"lost"}},
        DiagnosisCase{"GoodFlashThenLineLost",
                      [] {
                        auto r = report(Outcome::success, Stage::done);
                        r.after_verdict_note = "/dev/ttyUSB0: ReadFile function failed";
                        return r;
                      },
                      {"The box boots", "line was lost", "ReadFile function failed"},
                      {}},
        DiagnosisCase{"WrongAnswerThenLineLost",
                      [] {
                        auto r = wrong_at(Stage::loader, "\n", 80);
                        r.after_verdict_note = "/dev/ttyUSB0: ReadFile function failed";
                        return r;
                      },
                      {"1 byte (0A)", "line was lost", "ReadFile function failed", "cable"},
                      {}},
        DiagnosisCase{"NoSuchDevice",
                      [] {
                        return open_failed(serial::Fault::no_such_device,
                                           "/dev/ttyUSB0: cannot open the port: no such device");
                      },
                      {"/dev/ttyUSB0", "no such device", "unplugged", "Detect Port"},
                      {}},
        DiagnosisCase{"PermissionDenied",
                      [] {
                        return open_failed(serial::Fault::permission_denied,
                                           "/dev/ttyUSB0: permission denied; add yourself to the "
                                           "group 'dialout' and log in again");
                      },
                      {"'dialout'", "log out and in"},
                      {}},
        DiagnosisCase{"InUse",
                      [] {
                        return open_failed(serial::Fault::in_use,
                                           "/dev/ttyUSB0: in use by another program (minicom)");
                      },
                      {"minicom", "close"},
                      {}},
        DiagnosisCase{"NoPortChosen",
                      [] {
                        auto r = open_failed(serial::Fault::other, "no port chosen");
                        r.port.clear();
                        return r;
                      },
                      {"No port was chosen", "Detect Port"},
                      {}},
        DiagnosisCase{"SilentLine",
                      silent_line,
                      {"Nothing at all arrived", "12.3 s", "switched on", "another port",
                       "null-modem", "TX and RX"},
                      {"speed"}},
        DiagnosisCase{"NoisyLine",
                      noisy_line,
                      {"240 bytes", "FF 00 7E", "speed", "noise", "ground"},
                      {"null-modem"}},
        DiagnosisCase{"GreetingAnsweredWrongly",
                      [] { return wrong_at(Stage::greeting, "ok\r\n", 4); },
                      {"\"dream\"", "4 bytes (6F 6B 0D 0A)"},
                      {}},
        DiagnosisCase{"StartCommandUnanswered",
                      [] { return wrong_at(Stage::start, "", 19); },
                      {"start command", "nothing came back"},
                      {}},
        DiagnosisCase{"StandInCannotAnswer",
                      [] { return loader_silent(boot::LoaderSource::stand_in); },
                      {"accepted the upload", "boot stage is alive", "stand-in",
                       "flash chip was not checked", "genuine loader image", "stayed silent"},
                      {"JTAG"}},
        DiagnosisCase{"GenuineLoaderSilent",
                      [] { return loader_silent(boot::LoaderSource::file); },
                      {"43044 bytes", "stayed silent", "healthy box", "JTAG"},
                      {"stand-in"}},
        DiagnosisCase{"LoaderAnsweredOtherwise",
                      [] {
                        auto r = loader_silent(boot::LoaderSource::file);
                        r.failed_read->received = bytes_of("client: no");
                        return r;
                      },
                      {"answered the status frame with 10 bytes (63 6C", "\"client: ok\""},
                      {"stayed silent"}},
        DiagnosisCase{"ImageLooksWrong",
                      [] { return loader_silent(boot::LoaderSource::file, false); },
                      {"CRC trailer", "right file"},
                      {"JTAG"}},
        DiagnosisCase{"DeviceLostInTheUpload",
                      [] {
                        auto r = report(Outcome::device_error, Stage::upload);
                        r.error = "/dev/ttyUSB0: WriteFile function failed (EIO)";
                        return r;
                      },
                      {"during the upload", "WriteFile function failed", "unplugged"},
                      {}},
        DiagnosisCase{"StoppedAfterTheBanner",
                      [] { return report(Outcome::aborted, Stage::start); },
                      {"Stopped by you during the start command."},
                      {"cause"}}),
    [](const testing::TestParamInfo<DiagnosisCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(WaitHint, SaysOnceWhatTheLineHasBrought) {
  boot::BannerWatchSeen seen;
  EXPECT_EQ(wait_hint_text(boot::WaitHint::none, seen), "");
  EXPECT_THAT(wait_hint_text(boot::WaitHint::silent_line, seen),
              AllOf(HasSubstr("Nothing has arrived"), HasSubstr("switched on")));
  seen.bytes_received = 3;
  seen.first_bytes = {0xAA, 0x55, 0x00};
  EXPECT_THAT(wait_hint_text(boot::WaitHint::noisy_line, seen),
              AllOf(HasSubstr("3 bytes"), HasSubstr("AA 55 00"), HasSubstr("ground")));
}

TEST(SpacedHex, ShowsAtMostTheGivenBytes) {
  const serial::Bytes bytes = {0x00, 0x0A, 0xFF};
  EXPECT_EQ(spaced_hex(bytes), "00 0A FF");
  EXPECT_EQ(spaced_hex(bytes, 2), "00 0A ...");
  EXPECT_EQ(spaced_hex({}), "");
}

}  // namespace
}  // namespace frontend
