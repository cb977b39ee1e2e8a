// The firmware in flash, booted when nobody greets the ROM: it talks on the console.

#include "sim/box.h"
#include "sim/console_text.h"

namespace sim {
namespace {

constexpr std::chrono::milliseconds boot_line_pause{20};

}  // namespace

// No "dream" in time: the ROM boots the firmware in flash, which talks on the console.
void Box::boot_firmware(SteadyTime now) {
  ignored_ += heard_.size();
  heard_.clear();
  note_ignored("while waiting for \"dream\"");
  greeting_deadline_.reset();
  phase_ = Phase::firmware;
  for (std::string_view line : console_text::boot_lines) send_text(line, boot_line_pause);
  send_text(console_text::prompt, boot_line_pause, Stage::firmware_booted);
  if (options_.console_interval.count() > 0) next_idle_line_ = now + options_.console_interval;
}

// The console answers each carriage return with a fresh prompt.
void Box::on_console_bytes(std::span<const std::uint8_t> bytes) {
  std::size_t others = 0;
  for (std::uint8_t byte : bytes) {
    if (byte == 0x0D) {
      send_text(console_text::prompt);
    } else {
      ++others;
    }
  }
  if (others > 0) recorder_.note("console ignored " + std::to_string(others) + " bytes");
}

// Now and then the running firmware has something to say of its own.
void Box::print_idle_line(SteadyTime now) {
  const auto& lines = console_text::idle_lines;
  send_text(lines[idle_lines_printed_++ % lines.size()]);
  next_idle_line_ = now + options_.console_interval;
}

}  // namespace sim
