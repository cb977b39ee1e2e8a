#include "boot/flash_mode.h"

#include <algorithm>
#include <chrono>

#include "boot/banner_watch.h"
#include "boot/loader_frames.h"
#include "boot/log_text.h"
#include "boot/progress.h"

namespace boot {

using std::chrono_literals::operator""ms;

namespace {

bool contains(serial::ByteView bytes, std::string_view text) {
  return !std::ranges::search(bytes, text).empty();
}

bool equals(serial::ByteView bytes, std::string_view text) {
  return std::ranges::equal(bytes, text);
}

// False when the user closed the window meanwhile: the check has been stopped then. A line
// that stops taking bytes holds each piece for its whole write timeout, so the close is
// heard between pieces rather than after the whole image.
bool upload_loader(Dialogue& d, serial::ByteView image) {
  add_line(d.panel, sending_flash_loader_line);
  const auto total = static_cast<std::uint32_t>(image.size());
  std::size_t taken = 0;
  for (;;) {
    const serial::ByteView piece =
        image.subspan(taken, std::min(upload_piece_size, image.size() - taken));
    d.port.write(piece);
    taken += piece.size();
    show_progress(d.panel, static_cast<std::uint32_t>(taken), total);
    if (piece.size() < upload_piece_size || taken >= image.size()) break;
    if (!window_still_open(d)) return false;
  }
  return true;
}

}  // namespace

bool flash_handshake(Dialogue& d) {
  const BannerWatchResult banner = watch_for_banner(d.panel, d.port);
  add_labelled_hex_line(d.panel, hw_id_label, banner.received_piece);
  if (!leave_banner_watch(d)) return false;

  // Greet the boot ROM; it answers "ok" LF CR.
  if (!window_still_open(d)) return false;
  d.port.write(greeting);
  if (!std::ranges::equal(d.port.read(greeting_reply.size()), greeting_reply)) {
    log_status_message(d.panel, StatusMessage::wrong_boot_response);
    return stop(d, Outcome::wrong_answer);
  }
  log_status_message(d.panel, StatusMessage::dreambox_detected);

  // The start command; the boot ROM gets ready for the loader.
  if (!window_still_open(d)) return false;
  d.port.write(start_command);
  const serial::Bytes start_answer = d.port.read(start_reply.size());
  add_labelled_hex_line(d.panel, data1_label, start_answer);
  if (!equals(start_answer, start_reply)) {
    log_status_message(d.panel, StatusMessage::wrong_boot_response);
    return stop(d, Outcome::wrong_answer);
  }

  // Give the boot ROM time to prepare.
  d.clock.sleep_for(1650ms);
  d.panel.process_pending_messages();
  return true;
}

bool flash_upload_and_check(Dialogue& d, LoaderImage loader_image) {
  // The loader, piece by piece.
  if (!window_still_open(d)) return false;
  if (loader_image && !upload_loader(d, *loader_image)) return false;

  // Let the loader start, and drop whatever the boot ROM said meanwhile.
  d.panel.process_pending_messages();
  d.clock.sleep_for(800ms);
  d.port.read(100);
  d.clock.sleep_for(700ms);

  // The speed frame; its answer only adds a line.
  if (!window_still_open(d)) return false;
  d.port.write(speed_frame());
  if (contains(d.port.read(30), speed_reply_mark)) add_line(d.panel, settings_baudrate_ok_line);

  // The status frame decides.
  if (!window_still_open(d)) return false;
  d.port.write(status_frame());
  const serial::Bytes status_answer = d.port.read(80);
  add_labelled_hex_line(d.panel, data2_label, status_answer);
  if (!contains(status_answer, status_reply_mark)) return stop(d, Outcome::wrong_answer);

  // A good boot.
  add_line(d.panel, boot_success_line);
  add_line(d.panel, flash_chip_good_line);
  add_line(d.panel, alive_line);
  add_line(d.panel, no_jtag_line);
  d.port.read(200);
  d.panel.enable_control_set();
  d.panel.set_save_log_visible(true);
  return true;
}

}  // namespace boot
