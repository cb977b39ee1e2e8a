// A whole boot check fed arbitrary box replies through the scripted port and fake clock:
// one piece arrives before each read, whatever the dialogue expects. Input: a byte of
// choices (mode, loader image, Esc, a failing read or write, a close of the window), the
// index those apply at (the n-th read, write or time the window gets its messages), then the
// pieces. Once the pieces are used up during the banner watch the window is closed, so a check
// without a greeting ends.
//
// Whatever the box says, the check must end with the port released (or, after success,
// open), the controls usable, a log without zero bytes, a gauge within 0..100 that never
// goes back during the upload, and success only for the replies that make one.

#include <algorithm>
#include <array>

#include "boot/flash_mode.h"
#include "boot/loader_frames.h"
#include "boot/log_text.h"
#include "fuzz_input.h"
#include "rig.h"

namespace {

using fuzz::require;

// Loader image sizes around the 1024-byte pieces, and the real one.
constexpr std::array<std::size_t, 8> image_sizes = {0, 1, 1023, 1024, 1025, 2048, 3000, 43044};

struct Choices {
  explicit Choices(std::uint8_t bits)
      : test_mode(bits & 0x01),
        image(bits >> 1 & 0x07),
        esc(bits & 0x10),
        fail_read(bits & 0x20),
        fail_write(bits & 0x40),
        close(bits & 0x80) {}
  bool test_mode;
  std::size_t image;  // 0: no image, else image_sizes[image]
  bool esc, fail_read, fail_write, close;
};

bool equal(const serial::Bytes& bytes, serial::ByteView wanted) {
  return std::ranges::equal(bytes, wanted);
}

// The reads of a good Flash Mode run after the banner watch, and what each must bring.
void check_flash_success(const boot_test::Rig& rig) {
  const auto& reads = rig.port.reads;
  std::size_t first = 0;
  while (first < reads.size() && reads[first].timeouts == serial::watch_profile) ++first;
  // The last read, which drops the rest of the status reply, may fail: the box has answered
  // by then, so the loss is a note beside the verdict.
  const bool last_read_lost = !rig.report.after_verdict_note.empty();
  require(reads.size() - first == (last_read_lost ? 5u : 6u),
          "a good Flash Mode run reads six times after the banner");
  const serial::Bytes ok(boot::greeting_reply.begin(), boot::greeting_reply.end());
  require(reads[first].returned == ok, "success needs the exact greeting reply");
  require(equal(reads[first + 1].returned,
                serial::ByteView(reinterpret_cast<const std::uint8_t*>(boot::start_reply.data()),
                                 boot::start_reply.size())),
          "success needs the exact start reply");
  require(fuzz::contains(reads[first + 4].returned, boot::status_reply_mark),
          "success needs the status mark");
  require(rig.panel.log.size() >= 4 && rig.panel.log.back() == boot::no_jtag_line,
          "success ends with the four success lines");
  require(rig.panel.save_log_visible, "success offers Save Log");

  serial::Bytes wire(boot::greeting.begin(), boot::greeting.end());
  wire.insert(wire.end(), boot::start_command.begin(), boot::start_command.end());
  if (rig.image) wire.insert(wire.end(), rig.image->bytes.begin(), rig.image->bytes.end());
  const serial::Bytes speed = boot::speed_frame(), status = boot::status_frame();
  wire.insert(wire.end(), speed.begin(), speed.end());
  wire.insert(wire.end(), status.begin(), status.end());
  require(rig.port.wire() == wire, "a good run sends exactly its bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const serial::Bytes& full_image = boot_test::test_image();
  fuzz::InputReader input(data, size);
  const Choices choices(input.byte());
  const std::uint8_t at = input.byte();
  std::vector<fuzz::Bytes> pieces = input.pieces();

  boot_test::Rig rig;
  rig.mode = choices.test_mode ? boot::Mode::test : boot::Mode::flash;
  rig.image.reset();
  if (choices.image > 0) {
    const std::size_t image_size = image_sizes[choices.image];
    rig.image = boot::LoaderImage{serial::ByteView(full_image).first(image_size)};
  }
  if (choices.fail_read) rig.port.fail_read_at = at;
  if (choices.fail_write) rig.port.fail_write_at = at;
  // Esc and the window's close are noticed when the window gets its messages.
  rig.panel.on_messages = [&rig, &choices, at](int n) {
    if (n != at) return;
    if (choices.esc) rig.panel.abort = true;
    if (choices.close) rig.panel.close = true;
  };
  rig.port.arrivals.assign(pieces.begin(), pieces.end());
  rig.port.after_read = [&rig](std::size_t index) {
    const bool watching = rig.port.reads[index].timeouts == serial::watch_profile;
    if (watching && rig.port.arrivals.empty() && rig.port.bytes_waiting() == 0)
      rig.panel.close = true;
  };

  const boot::Outcome outcome = rig.run();

  const bool success = outcome == boot::Outcome::success;
  require(success == (rig.report.stage == boot::Stage::done), "only success reaches the end");
  require(rig.panel.controls_enabled, "the controls are usable once the check has ended");
  require(rig.port.is_open() == success, "a failed check releases the port, success keeps it");
  for (const std::string& line : rig.panel.log)
    require(line.find('\0') == std::string::npos, "no log line holds a zero byte");
  for (const int percent : rig.panel.progress)
    require(percent >= 0 && percent <= 100, "the gauge stays within 0..100");
  // One boot check: the gauge is reset once, then only moves forward with the upload.
  require(std::is_sorted(rig.panel.progress.begin(), rig.panel.progress.end()),
          "the gauge never goes back during the upload");
  if (outcome == boot::Outcome::device_error)
    require(!rig.report.error.empty(), "a device error says what failed");
  if (success && rig.mode == boot::Mode::flash) check_flash_success(rig);
  return 0;
}
