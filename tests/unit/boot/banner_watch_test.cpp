// The wait for the boot ROM's greeting, read by read.
#include "boot/banner_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "case_name.h"
#include "rig.h"

namespace boot_test {
namespace {

struct WatchCase {
  std::string_view name;
  std::vector<serial::Bytes> pieces;  // one per read
  bool found;                         // else the test presses Esc once the pieces run out
  serial::Bytes last_piece;           // what the watch hands on
};

class BannerWatch : public ::testing::TestWithParam<WatchCase> {};

TEST_P(BannerWatch, EndsOnTheBannerOrDream) {
  const WatchCase& c = GetParam();
  Rig rig;
  rig.port.open();
  rig.port.arrivals.assign(c.pieces.begin(), c.pieces.end());
  const int reads_scripted = static_cast<int>(c.pieces.size());
  rig.panel.on_messages = [&](int n) {
    if (n == reads_scripted + 1) rig.panel.abort = true;  // a safe end when nothing is found
  };

  const boot::BannerWatchResult result = rig.watch();

  EXPECT_EQ(result.aborted, !c.found);
  EXPECT_EQ(rig.port.reads.size(), c.found ? c.pieces.size() : c.pieces.size() + 2);
  EXPECT_EQ(result.received_piece, c.last_piece);
  for (const ReadRecord& read : rig.port.reads) EXPECT_EQ(read.count, 18u);
  // The window gets its messages before every read.
  EXPECT_EQ(rig.trace.only({"panel.messages"}).size(), rig.port.reads.size());
}

const serial::Bytes nothing;

INSTANTIATE_TEST_SUITE_P(
    Pieces, BannerWatch,
    ::testing::Values(
        WatchCase{"FormA", {nothing, nothing, banner_a()}, true, banner_a()},
        WatchCase{"FormB", {banner_b()}, true, banner_b()},
        WatchCase{"DreamAloneEndsIt", {bytes_of("xxDreamyy")}, true, bytes_of("xxDreamyy")},
        WatchCase{
            "DreamWithoutTheRest", {bytes_of("Dreambox DM500")}, true, bytes_of("Dreambox DM500")},
        WatchCase{"OtherTextIsNot",
                  {bytes_of("dream"), bytes_of("DREAM"), bytes_of("Drea m")},
                  false,
                  nothing},
        // A banner cut by a read boundary: the last piece alone holds no "Dream".
        WatchCase{"SplitDream",
                  {bytes_of("\xE0\r"
                            "Dre"),
                   bytes_of("ambox D")},
                  true,
                  bytes_of("ambox D")},
        WatchCase{"SplitAcrossSilence",
                  {bytes_of("Drea"), nothing, nothing, bytes_of("m")},
                  true,
                  bytes_of("m")},
        WatchCase{"SplitOverThreeReads",
                  {bytes_of("D"), bytes_of("re"), bytes_of("am")},
                  true,
                  bytes_of("am")},
        WatchCase{"SplitWithAGapIsNot", {bytes_of("Drea"), bytes_of("xm")}, false, nothing}),
    CaseName{});

// What the watch tells the report, and the hints it gives while it waits. Time passes only
// in reads that come back short (68 ms each with the watch profile).
struct SeenCase {
  std::string_view name;
  std::vector<serial::Bytes> pieces;  // one per read; then Esc if no banner came
  std::size_t bytes_received;
  std::size_t first_bytes_kept;
  bool banner_seen;
  std::vector<boot::WaitHint> hints;
};

class BannerWatchSeen : public ::testing::TestWithParam<SeenCase> {};

TEST_P(BannerWatchSeen, CountsTheBytesAndHintsOnce) {
  const SeenCase& c = GetParam();
  Rig rig;
  rig.port.set_timeouts(serial::watch_profile);
  rig.port.open();
  rig.port.arrivals.assign(c.pieces.begin(), c.pieces.end());
  const int reads_scripted = static_cast<int>(c.pieces.size());
  rig.panel.on_messages = [&](int n) {
    if (n == reads_scripted) rig.panel.abort = true;
  };

  rig.watch();

  const boot::BannerWatchSeen& seen = rig.report.banner_watch;
  EXPECT_EQ(seen.bytes_received, c.bytes_received);
  EXPECT_EQ(seen.first_bytes.size(), c.first_bytes_kept);
  EXPECT_EQ(seen.banner_seen, c.banner_seen);
  EXPECT_EQ(seen.waited, rig.clock.now() - boot::Clock::time_point{});
  EXPECT_EQ(rig.panel.hints, c.hints);
}

std::vector<serial::Bytes> repeated(std::size_t times, const serial::Bytes& piece) {
  return std::vector<serial::Bytes>(times, piece);
}

std::vector<serial::Bytes> then(std::vector<serial::Bytes> first,
                                const std::vector<serial::Bytes>& next) {
  first.insert(first.end(), next.begin(), next.end());
  return first;
}

using boot::WaitHint;

INSTANTIATE_TEST_SUITE_P(
    Line, BannerWatchSeen,
    ::testing::Values(SeenCase{"BannerAtOnceNeedsNoHint", {banner_a()}, 18, 18, true, {}},
                      SeenCase{"SilenceNotedOnceThenCleared",
                               then(repeated(80, nothing), {banner_a()}),
                               18,
                               18,
                               true,
                               {WaitHint::silent_line, WaitHint::none}},
                      SeenCase{"ShortSilenceIsNotWorthAWord",
                               then(repeated(70, nothing), {banner_a()}),
                               18,
                               18,
                               true,
                               {}},
                      SeenCase{"NoiseNotedOnceThenCleared",
                               then(repeated(20, bytes_of("\xFF\x01~")), {banner_b()}),
                               78,
                               64,
                               true,
                               {WaitHint::noisy_line, WaitHint::none}},
                      SeenCase{"SilenceThenNoiseThenEsc",
                               then(repeated(80, nothing), repeated(20, bytes_of("?"))),
                               20,
                               20,
                               false,
                               {WaitHint::silent_line, WaitHint::noisy_line, WaitHint::none}}),
    CaseName{});

TEST(BannerWatchEsc, EscPressedMeanwhileEndsTheWatch) {
  Rig rig;
  rig.port.open();
  rig.panel.on_messages = [&](int n) {
    if (n == 4) rig.panel.abort = true;
  };

  const boot::BannerWatchResult result = rig.watch();
  EXPECT_TRUE(result.aborted);
  EXPECT_EQ(rig.port.reads.size(), 5u);
}

TEST(BannerWatchEsc, EscWithTheBannerStillAborts) {
  Rig rig;
  rig.port.arrivals = {banner_a()};
  rig.panel.on_messages = [&](int n) {
    if (n == 0) rig.panel.abort = true;
  };

  EXPECT_EQ(rig.run(), boot::Outcome::aborted);
  EXPECT_EQ(rig.panel.log.back(), "User Abort!");
  EXPECT_EQ(rig.panel.log[1], "HW ID: [E00D447265616D626F782044004D3530300D]");
}

TEST(BannerWatchEsc, SplitBannerShowsOnlyTheLastPieceAsHardwareId) {
  Rig rig;
  rig.script_good_flash_box();
  rig.port.arrivals.pop_front();
  rig.port.arrivals.push_front(bytes_of("ambox D"));
  rig.port.arrivals.push_front(bytes_of("\xE0\rDre"));

  EXPECT_EQ(rig.run(), boot::Outcome::success);
  EXPECT_EQ(rig.panel.log[1], "HW ID: [616D626F782044]");
}

}  // namespace
}  // namespace boot_test
