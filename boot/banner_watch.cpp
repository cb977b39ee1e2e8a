#include "boot/banner_watch.h"

#include <algorithm>
#include <string_view>

namespace boot {

namespace {

constexpr std::string_view dream = "Dream";
// Enough of the previous bytes to complete a "Dream" that a read boundary cut.
constexpr std::size_t carried_bytes = dream.size() - 1;

// std::search, as clang 14 (the fuzzing build) cannot build std::ranges::search here.
bool contains_dream(serial::ByteView bytes) {
  return std::search(bytes.begin(), bytes.end(), dream.begin(), dream.end()) != bytes.end();
}

bool is_banner(serial::ByteView piece) {
  return std::ranges::equal(piece, banner_form_a) || std::ranges::equal(piece, banner_form_b);
}

// The last few bytes of what has been received, for the next read's search.
serial::Bytes tail_of(const serial::Bytes& bytes) {
  const std::size_t keep = std::min(bytes.size(), carried_bytes);
  return serial::Bytes(bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

// Keeps count of what arrived while waiting and tells the panel, once each, when the line
// looks silent or noisy.
class WatchNotes {
 public:
  WatchNotes(Dialogue& d) : d_(d), started_(d.clock.now()) {}

  void note_piece(serial::ByteView piece) {
    BannerWatchSeen& seen = d_.report.banner_watch;
    const Clock::time_point now = d_.clock.now();
    seen.waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - started_);
    if (!piece.empty() && seen.bytes_received == 0) first_byte_at_ = now;
    seen.bytes_received += piece.size();
    const std::size_t room = first_bytes_kept - std::min(first_bytes_kept, seen.first_bytes.size());
    seen.first_bytes.insert(
        seen.first_bytes.end(), piece.begin(),
        piece.begin() + static_cast<std::ptrdiff_t>(std::min(room, piece.size())));
    d_.panel.report_so_far(d_.report);
  }

  void hint_while_waiting() {
    const BannerWatchSeen& seen = d_.report.banner_watch;
    if (seen.bytes_received == 0) {
      if (seen.waited >= silent_line_hint_after) show(WaitHint::silent_line);
    } else if (d_.clock.now() - first_byte_at_ >= noisy_line_hint_after) {
      show(WaitHint::noisy_line);
    }
  }

  // The wait is over: a hint about it no longer holds.
  void finish(bool banner_seen) {
    d_.report.banner_watch.banner_seen = banner_seen;
    if (shown_ != WaitHint::none) d_.panel.show_wait_hint(WaitHint::none, d_.report.banner_watch);
  }

 private:
  void show(WaitHint hint) {
    if (shown_ == hint) return;
    shown_ = hint;
    d_.panel.show_wait_hint(hint, d_.report.banner_watch);
  }

  Dialogue& d_;
  Clock::time_point started_;
  Clock::time_point first_byte_at_{};
  WaitHint shown_ = WaitHint::none;
};

}  // namespace

BannerWatchResult watch_for_banner(Dialogue& d) {
  enter_stage(d, Stage::banner);
  WatchNotes notes(d);
  BannerWatchResult result;
  serial::Bytes carried;
  for (;;) {
    d.panel.process_pending_messages();
    result.received_piece = d.port.read(banner_size);
    notes.note_piece(result.received_piece);

    serial::Bytes searched = carried;
    searched.insert(searched.end(), result.received_piece.begin(), result.received_piece.end());

    const bool greeted = is_banner(result.received_piece) || contains_dream(searched);
    result.aborted = d.panel.abort_flag() || d.panel.close_requested();
    if (greeted || result.aborted) {
      notes.finish(greeted);
      return result;
    }
    notes.hint_while_waiting();
    carried = tail_of(searched);
  }
}

bool leave_banner_watch(Dialogue& d) {
  // A close (Ctrl-C) that ended the wait stops the check here too, so the report says it
  // was the wait for the banner that was stopped.
  if (d.panel.abort_flag() || d.panel.close_requested()) {
    d.panel.set_abort_flag(false);
    return stop_on_user_abort(d);
  }
  d.port.set_timeouts(serial::dialogue_profile);
  return true;
}

}  // namespace boot
