#include "boot/banner_watch.h"

#include <algorithm>
#include <string_view>

namespace boot {

namespace {

constexpr std::string_view dream = "Dream";
// Enough of the previous bytes to complete a "Dream" that a read boundary cut.
constexpr std::size_t carried_bytes = dream.size() - 1;

bool contains_dream(serial::ByteView bytes) {
  return !std::ranges::search(bytes, dream).empty();
}

bool is_banner(serial::ByteView piece) {
  return std::ranges::equal(piece, banner_form_a) || std::ranges::equal(piece, banner_form_b);
}

// The last few bytes of what has been received, for the next read's search.
serial::Bytes tail_of(const serial::Bytes& bytes) {
  const std::size_t keep = std::min(bytes.size(), carried_bytes);
  return serial::Bytes(bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

}  // namespace

BannerWatchResult watch_for_banner(Panel& panel, serial::Port& port) {
  BannerWatchResult result;
  serial::Bytes carried;
  for (;;) {
    panel.process_pending_messages();
    result.received_piece = port.read(banner_size);

    serial::Bytes searched = carried;
    searched.insert(searched.end(), result.received_piece.begin(), result.received_piece.end());

    const bool greeted = is_banner(result.received_piece) || contains_dream(searched);
    result.aborted = panel.abort_flag() || panel.close_requested();
    if (greeted || result.aborted) return result;
    carried = tail_of(searched);
  }
}

bool leave_banner_watch(Dialogue& dialogue) {
  if (dialogue.panel.abort_flag()) {
    dialogue.panel.set_abort_flag(false);
    return stop_on_user_abort(dialogue);
  }
  dialogue.port.set_timeouts(serial::dialogue_profile);
  return true;
}

}  // namespace boot
