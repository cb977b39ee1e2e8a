#include "frontend/diagnosis.h"

#include <cstdio>

namespace frontend {
namespace {

using boot::Outcome;
using boot::Report;
using boot::Stage;

std::string seconds_text(std::chrono::milliseconds waited) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(waited.count()) / 1000.0);
  return text;
}

std::string bytes_text(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// "5 bytes (6F 6B 0D 0A 00)".
std::string received_text(const boot::FailedRead& read) {
  return bytes_text(read.received.size()) + " (" + spaced_hex(read.received, 20) + ")";
}

std::string what_came(const boot::FailedRead& read) {
  if (read.received.empty()) return "nothing came back within 1.5 s";
  return "it answered " + received_text(read);
}

std::string open_failure(const Report& r) {
  std::string text = "The port " + (r.port.empty() ? std::string("(none chosen)") : r.port) +
                     " could not be opened: " + r.error + ". ";
  switch (r.fault) {
    case serial::Fault::no_such_device:
      return text +
             "The adapter may be unplugged, or it came back under another name. Plug it in, "
             "press \"Detect Port\" and pick it from the list.";
    case serial::Fault::permission_denied:
      return text +
             "Your account may not use this device. Do what the message says (after joining a "
             "group, log out and in again), or ask whoever administers this computer.";
    case serial::Fault::in_use:
      return text +
             "Another program holds the port: close terminal programs (PuTTY, minicom, "
             "screen) and anything else using the adapter, then try again.";
    case serial::Fault::device_lost:
    case serial::Fault::other:
      break;
  }
  if (r.port.empty()) {
    return "No port was chosen. Press \"Detect Port\", pick the port your adapter is on, then "
           "start the check again.";
  }
  return text + "Press \"Detect Port\" to see which ports open, and pick one of those.";
}

std::string banner_failure(const Report& r) {
  const boot::BannerWatchSeen& seen = r.banner_watch;
  if (seen.bytes_received == 0) {
    return "Nothing at all arrived on " + r.port + " in " + seconds_text(seen.waited) +
           " of waiting. Likely causes, in order: the box was not switched on while the check "
           "waited; the adapter is on another port; a straight cable where the box needs a "
           "null-modem cable (or adapter); TX and RX swapped. Start the check first, then switch "
           "the box on; try the other ports in the list and a null-modem adapter.";
  }
  return bytes_text(seen.bytes_received) + " arrived in " + seconds_text(seen.waited) +
         " but never the boot ROM's banner (first bytes: " + spaced_hex(seen.first_bytes, 16) +
         "). Likely causes, in order: the line runs at another speed (an adapter or cable that "
         "does not keep 115200 baud); noise on the line; a missing ground wire between the box's "
         "serial port and the adapter. Check that the ground pin is connected, use a shorter "
         "cable, and try another adapter.";
}

// The line went just as the wrong answer came: likely the reason for it.
std::string line_lost_note(const Report& r) {
  if (r.after_verdict_note.empty()) return {};
  return " The line was lost just after that answer (" + r.after_verdict_note +
         "): the adapter may have been pulled out or lost its power. Check it and the cable, "
         "then try again.";
}

std::string wrong_answer(const Report& r) {
  const std::string came = r.failed_read ? what_came(*r.failed_read) : "it did not answer";
  switch (r.stage) {
    case Stage::greeting:
      return "The boot ROM greeted the line but did not answer \"dream\" with \"ok\": " + came +
             ". The box may have started its own firmware before the answer came, or the line "
             "garbles bytes. Switch the box off, start the check again, then switch it on.";
    case Stage::start:
      return "The boot ROM answered \"dream\" but not the start command as expected (\"loading "
             "instr. file\"): " +
             came +
             ". Its boot stage talks, but did not get ready for an upload. Try again; if it "
             "repeats, the boot ROM may be damaged.";
    case Stage::loader:
      break;
    default:
      return "The box did not answer as expected: " + came + ".";
  }
  // The upload went out and the loader did not say "client: ok".
  const std::string came_back =
      r.failed_read && !r.failed_read->received.empty()
          ? "the loader answered the status frame with " + received_text(*r.failed_read)
          : "the loader stayed silent";
  if (r.loader && r.loader->source == boot::LoaderSource::stand_in) {
    return "The boot ROM accepted the upload, so the box's boot stage is alive. But the image "
           "sent was the built-in stand-in, which cannot answer the loader's frames, so " +
           came_back +
           " and the flash chip was not checked. For that, give a genuine loader image "
           "(--loader FILE, or \"Loader image…\" in the window's menu) and check again.";
  }
  if (!r.loader) {
    return "No loader image was sent, and " + came_back +
           ": the flash chip was not checked. Give a loader image and check again.";
  }
  std::string text = "The boot ROM accepted the upload of " + bytes_text(r.loader->size) +
                     ", but " + came_back +
                     " instead of reporting \"client: ok\", as a healthy box does.";
  if (!r.loader->header_ok || !r.loader->crc_ok) {
    text +=
        " The image itself does not look like a DM500 loader (its header or CRC trailer is "
        "wrong): check that it is the right file.";
  } else {
    text +=
        " The loader may not have started, or the flash chip does not answer: the box "
        "likely needs a JTAG rescue.";
  }
  return text;
}

std::string where(Stage stage) {
  switch (stage) {
    case Stage::open:
      return "while opening the port";
    case Stage::banner:
      return "while waiting for the banner";
    case Stage::greeting:
      return "during the greeting";
    case Stage::start:
      return "during the start command";
    case Stage::upload:
      return "during the upload";
    case Stage::loader:
      return "while talking to the loader";
    case Stage::console:
      return "while reading the console";
    case Stage::done:
      return "after the check";
  }
  return "";
}

std::string success(const Report& r) {
  std::string text =
      r.mode == boot::Mode::flash
          ? "The box boots: its boot ROM took the loader, and the loader reports that the flash "
            "chip answers. It needs no JTAG rescue."
          : "The box greeted the line and its console answered: the boot ROM and the firmware "
            "start. Test Mode does not check the flash chip; Flash Mode does.";
  if (!r.after_verdict_note.empty()) {
    text += " After that the line was lost (" + r.after_verdict_note +
            "): check the cable before the next check.";
  }
  return text;
}

}  // namespace

std::string spaced_hex(serial::ByteView bytes, std::size_t max_bytes) {
  constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < max_bytes; ++i) {
    if (i > 0) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  if (bytes.size() > max_bytes) text += " ...";
  return text;
}

std::string diagnosis(const Report& r) {
  switch (r.outcome) {
    case Outcome::success:
      return success(r);
    case Outcome::open_failed:
      return open_failure(r);
    case Outcome::wrong_answer:
      return wrong_answer(r) + line_lost_note(r);
    case Outcome::device_error:
      return "The serial device failed " + where(r.stage) + ": " + r.error +
             ". The adapter was probably unplugged or lost its power. Plug it in again, press "
             "\"Detect Port\" and start the check again.";
    case Outcome::aborted:
      if (r.stage == Stage::banner) return banner_failure(r) + " (Stopped by you.)";
      return "Stopped by you " + where(r.stage) + ".";
  }
  return {};
}

std::string outcome_summary(const Report& r) {
  switch (r.outcome) {
    case Outcome::success:
      return r.mode == boot::Mode::flash
                 ? "result: the box boots and its flash answers; it needs no JTAG rescue"
                 : "result: the box greeted the line; its console output is in the log";
    case Outcome::wrong_answer:
      return "result: the box did not answer as expected (see the log)";
    case Outcome::open_failed:
      return "result: the port could not be opened";
    case Outcome::device_error:
      return "result: the serial device failed during the check";
    case Outcome::aborted:
      return "result: aborted";
  }
  return "result: unknown";
}

std::string wait_hint_text(boot::WaitHint hint, const boot::BannerWatchSeen& seen) {
  switch (hint) {
    case boot::WaitHint::none:
      return {};
    case boot::WaitHint::silent_line:
      return "Nothing has arrived yet. Is the box switched on? Is the adapter on this port? "
             "(Esc stops the wait.)";
    case boot::WaitHint::noisy_line:
      return bytes_text(seen.bytes_received) + " arrived, but no boot banner (" +
             spaced_hex(seen.first_bytes, 8) +
             "): a wrong line speed, noise, or a missing ground wire? (Esc stops the wait.)";
  }
  return {};
}

std::string stand_in_notice() {
  return "This check sends the built-in stand-in loader: a real box accepts its upload, but "
         "cannot answer the frames that check the flash chip. Give a genuine image with "
         "--loader FILE (or \"Loader image…\" in the window) to check the flash.";
}

}  // namespace frontend
