// The loader the box runs from a sound image: it reads "DM" frames and answers two of them.

#include <string>

#include "sim/box.h"

namespace sim {
namespace {

constexpr std::uint8_t speed_command = 0x01;
constexpr std::uint8_t status_command = 0x04;
constexpr std::string_view status_reply =
    "client: ok, i'm now attached to a server. waiting for further commands.\r\n";

std::string hex_byte(std::uint8_t byte) {
  constexpr char digits[] = "0123456789ABCDEF";
  return {digits[byte >> 4], digits[byte & 0x0F]};
}

}  // namespace

void Box::on_loader_bytes(std::span<const std::uint8_t> bytes, SteadyTime now) {
  last_loader_byte_ = now;
  for (DecodedFrame& frame : frames_.feed(bytes)) {
    if (frame.valid) answer_frame(frame);
    recorder_.frame(std::move(frame));
  }
}

void Box::answer_frame(const DecodedFrame& frame) {
  if (frame.command == speed_command) {
    if (frame.payload.size() < 4) {
      recorder_.note("speed frame too short to hold a speed: left unanswered");
      return;
    }
    const std::uint32_t speed = static_cast<std::uint32_t>(frame.payload[0]) << 24 |
                                static_cast<std::uint32_t>(frame.payload[1]) << 16 |
                                static_cast<std::uint32_t>(frame.payload[2]) << 8 |
                                frame.payload[3];
    const std::string number = std::to_string(speed);
    send_text(tweaks_.speed_reply_has_mark ? "setting baudrate to " + number + "...\r\n"
                                           : "baudrate " + number + " not supported\r\n",
              {}, Stage::speed_answered);
  } else if (frame.command == status_command) {
    if (tweaks_.answers_status) {
      send_text(status_reply, {}, Stage::status_answered);
    } else {
      recorder_.note("status frame left unanswered");
    }
  } else {
    recorder_.note("loader ignores command " + hex_byte(frame.command));
  }
}

// The line went quiet in the middle of a frame: drop it and look at what followed.
void Box::give_up_stalled_frame() {
  for (DecodedFrame& frame : frames_.give_up_incomplete()) {
    if (frame.valid) answer_frame(frame);
    recorder_.frame(std::move(frame));
  }
}

}  // namespace sim
