#pragma once
// How a boot check ended, in enough detail for a front end to explain it: the outcome, the
// step it ended at, the serial error, what the banner watch saw, what the failing read
// returned and which loader image went out. Every diagnosis, exit status and JSON report
// is made from this.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "serial/port.h"
#include "serial/serial_error.h"

namespace boot {

enum class Mode { flash, test };

enum class Outcome {
  success,       // the mode's steps all went through
  wrong_answer,  // the box answered wrongly or not at all
  open_failed,   // the chosen port could not be opened
  device_error,  // a read or write failed (device lost)
  aborted,       // Esc, Ctrl-C, or the window closed
};

// The step a check ended at.
enum class Stage {
  open,      // opening the port
  banner,    // waiting for the boot ROM's banner
  greeting,  // "dream" and its "ok" reply
  start,     // the start command and "loading instr. file"
  upload,    // sending the loader image
  loader,    // the waits after the upload and the two frames
  console,   // Test Mode after the banner
  done,      // every step went through
};

std::string_view mode_name(Mode mode);           // "flash", "test"
std::string_view outcome_name(Outcome outcome);  // "success", "wrong_answer", ...
std::string_view stage_name(Stage stage);        // "open", "banner", ...

// Where a loader image came from: the stand-in built into the program (a real box accepts
// it but it cannot answer the frames), or an image of the user's.
enum class LoaderSource { stand_in, file };

std::string_view loader_source_name(LoaderSource source);  // "stand-in", "file"

// The image a Flash Mode check sends, and what the front end found when it checked it.
struct LoaderImage {
  std::span<const std::uint8_t> bytes;
  LoaderSource source = LoaderSource::stand_in;
  bool header_ok = true;  // begins 00 52 50 4F
  bool crc_ok = true;     // its last four bytes are its CRC-32 trailer
};

// What the banner watch saw.
struct BannerWatchSeen {
  std::chrono::milliseconds waited{0};
  std::size_t bytes_received = 0;
  // The first bytes that arrived, at most first_bytes_kept of them.
  serial::Bytes first_bytes;
  bool banner_seen = false;
};

inline constexpr std::size_t first_bytes_kept = 64;

// A read whose answer ended the check (the reply to "dream", the start command or the
// status frame).
struct FailedRead {
  std::size_t expected = 0;
  serial::Bytes received;
};

// The loader image that went out.
struct LoaderSent {
  LoaderSource source = LoaderSource::stand_in;
  std::size_t size = 0;
  bool header_ok = true;
  bool crc_ok = true;
};

struct Report {
  std::string port;
  Mode mode = Mode::flash;
  Outcome outcome = Outcome::success;
  Stage stage = Stage::open;
  // The serial error's text when the port could not be opened or the device failed.
  std::string error;
  serial::Fault fault = serial::Fault::other;
  // A loss of the line noticed after the verdict (the box had already answered, rightly or
  // wrongly): the verdict stands, this says what happened next.
  std::string after_verdict_note;
  BannerWatchSeen banner_watch;
  std::optional<FailedRead> failed_read;
  std::optional<LoaderSent> loader;
};

// Live hints while the banner watch waits; none takes a shown hint away.
enum class WaitHint {
  none,
  silent_line,  // nothing at all has arrived for a few seconds
  noisy_line,   // bytes arrive, but no banner among them
};

}  // namespace boot
