// The banner watch fed arbitrary pieces through the scripted port, one piece a read, with
// the fake clock moving as each short read waits out its timeout. It must end on the first
// read that brings the banner or completes a "Dream" (also one split across reads), and
// report what arrived. Input: the read after which Esc is pressed (255: never), then the
// pieces. Once they are used up the window is closed, so the watch ends.

#include <algorithm>

#include "boot/banner_watch.h"
#include "fuzz_input.h"
#include "rig.h"

namespace {

using fuzz::require;

bool is_banner(const serial::Bytes& piece) {
  return std::ranges::equal(piece, boot::banner_form_a) ||
         std::ranges::equal(piece, boot::banner_form_b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputReader input(data, size);
  const std::uint8_t esc_after_read = input.byte();
  std::vector<fuzz::Bytes> pieces = input.pieces();

  boot_test::Rig rig;
  rig.port.open();
  rig.port.set_timeouts(serial::watch_profile);
  rig.port.arrivals.assign(pieces.begin(), pieces.end());
  rig.port.after_read = [&](std::size_t index) {
    if (index == esc_after_read) rig.panel.abort = true;
    if (rig.port.arrivals.empty() && rig.port.bytes_waiting() == 0) rig.panel.close = true;
  };
  const boot::BannerWatchResult result = rig.watch();

  // What the reads returned, in order, and where a greeting first showed up in it.
  const auto& reads = rig.port.reads;
  require(!reads.empty(), "the watch reads at least once");
  serial::Bytes stream;
  std::size_t greeted_at = reads.size();
  for (std::size_t i = 0; i < reads.size(); ++i) {
    require(reads[i].count == boot::banner_size, "the watch reads banner-sized pieces");
    stream.insert(stream.end(), reads[i].returned.begin(), reads[i].returned.end());
    if (greeted_at == reads.size() &&
        (is_banner(reads[i].returned) || fuzz::contains(stream, "Dream")))
      greeted_at = i;
  }
  const bool greeted = greeted_at < reads.size();
  const bool stopped = rig.panel.abort || rig.panel.close;

  require(result.received_piece == reads.back().returned, "the last piece is handed on");
  require(!greeted || greeted_at == reads.size() - 1, "the watch ends on the greeting's read");
  require(greeted || stopped, "without a greeting only Esc or a close ends the watch");
  require(result.aborted == stopped, "aborted says whether Esc or a close ended it");

  const boot::BannerWatchSeen& seen = rig.report.banner_watch;
  require(seen.banner_seen == greeted, "the report says whether the greeting came");
  require(seen.bytes_received == stream.size(), "the report counts every byte");
  const std::size_t kept = std::min(stream.size(), boot::first_bytes_kept);
  require(std::equal(seen.first_bytes.begin(), seen.first_bytes.end(), stream.begin(),
                     stream.begin() + static_cast<std::ptrdiff_t>(kept)) &&
              seen.first_bytes.size() == kept,
          "the report keeps the first bytes that arrived");

  const auto& hints = rig.panel.hints;
  for (std::size_t i = 1; i < hints.size(); ++i)
    require(hints[i] != hints[i - 1], "a hint is shown once, not again and again");
  require(hints.empty() || hints.back() == boot::WaitHint::none, "a hint goes once the wait ends");
  return 0;
}
