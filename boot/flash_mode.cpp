#include "boot/flash_mode.h"

#include <algorithm>

#include "boot/banner_watch.h"
#include "boot/loader_frames.h"
#include "boot/log_text.h"
#include "serial/serial_error.h"

namespace boot {

namespace {

// std::search rather than std::ranges::search: clang 14 cannot build the latter's result
// over libstdc++ 12, and the fuzzing build uses clang.
bool contains(serial::ByteView bytes, std::string_view text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

bool equals(serial::ByteView bytes, std::string_view text) {
  return std::ranges::equal(bytes, text);
}

// The box answered wrongly: "Wrong Boot Response!", and the report keeps what came.
bool stop_on_wrong_response(Dialogue& d, std::size_t expected, serial::Bytes received) {
  d.report.failed_read = FailedRead{expected, std::move(received)};
  log_status_message(d.panel, StatusMessage::wrong_boot_response);
  return stop(d, Outcome::wrong_answer);
}

// False when the user closed the window meanwhile: the check has been stopped then. A line
// that stops taking bytes holds a piece until the port gives the write up, so the close is
// also heard between pieces rather than after the whole image.
bool upload_loader(Dialogue& d, const LoaderImage& loader) {
  const serial::ByteView image = loader.bytes;
  d.report.loader = LoaderSent{loader.source, image.size(), loader.header_ok, loader.crc_ok};
  d.panel.report_so_far(d.report);
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
    if (stop_if_closed(d)) return false;
  }
  return true;
}

// The rest of the loader's reply is dropped; the box has answered by now, so a line lost
// here is told after the verdict rather than turning a good box into a failed check.
void drop_rest_of_reply(Dialogue& d) {
  try {
    d.port.read(after_success_read_size);
  } catch (const serial::SerialError& error) {
    d.report.after_verdict_note = error.what();
  }
}

}  // namespace

bool flash_handshake(Dialogue& d) {
  const BannerWatchResult banner = watch_for_banner(d);
  add_labelled_hex_line(d.panel, hw_id_label, banner.received_piece);
  if (!leave_banner_watch(d)) return false;

  // Greet the boot ROM; it answers "ok" LF CR.
  enter_stage(d, Stage::greeting);
  if (stop_if_closed(d)) return false;
  d.port.write(greeting);
  serial::Bytes greeting_answer = d.port.read(greeting_reply.size());
  if (!std::ranges::equal(greeting_answer, greeting_reply)) {
    return stop_on_wrong_response(d, greeting_reply.size(), std::move(greeting_answer));
  }
  log_status_message(d.panel, StatusMessage::dreambox_detected);

  // The start command; the boot ROM gets ready for the loader.
  enter_stage(d, Stage::start);
  if (stop_if_closed(d)) return false;
  d.port.write(start_command);
  serial::Bytes start_answer = d.port.read(start_reply.size());
  add_labelled_hex_line(d.panel, data1_label, start_answer);
  if (!equals(start_answer, start_reply)) {
    return stop_on_wrong_response(d, start_reply.size(), std::move(start_answer));
  }

  // Give the boot ROM time to prepare.
  d.clock.sleep_for(rom_prepare_pause);
  d.panel.process_pending_messages();
  return true;
}

bool flash_upload_and_check(Dialogue& d, const std::optional<LoaderImage>& loader) {
  // The loader, piece by piece.
  enter_stage(d, Stage::upload);
  if (stop_if_closed(d)) return false;
  if (loader && !upload_loader(d, *loader)) return false;

  // Let the loader start, and drop whatever the boot ROM said meanwhile.
  enter_stage(d, Stage::loader);
  d.panel.process_pending_messages();
  d.clock.sleep_for(loader_start_pause);
  d.port.read(rom_chatter_read_size);
  d.clock.sleep_for(loader_settle_pause);

  // The speed frame; its answer only adds a line.
  if (stop_if_closed(d)) return false;
  d.port.write(speed_frame());
  if (contains(d.port.read(speed_reply_read_size), speed_reply_mark)) {
    add_line(d.panel, settings_baudrate_ok_line);
  }

  // The status frame decides. A wrong answer adds no status message: the "Data2: [" line
  // shows what came back.
  if (stop_if_closed(d)) return false;
  d.port.write(status_frame());
  serial::Bytes status_answer = d.port.read(status_reply_read_size);
  add_labelled_hex_line(d.panel, data2_label, status_answer);
  if (!contains(status_answer, status_reply_mark)) {
    d.report.failed_read = FailedRead{status_reply_read_size, std::move(status_answer)};
    return stop(d, Outcome::wrong_answer);
  }

  // A good boot.
  add_line(d.panel, boot_success_line);
  add_line(d.panel, flash_chip_good_line);
  add_line(d.panel, alive_line);
  add_line(d.panel, no_jtag_line);
  drop_rest_of_reply(d);
  d.panel.enable_control_set();
  d.panel.set_save_log_visible(true);
  return true;
}

}  // namespace boot
