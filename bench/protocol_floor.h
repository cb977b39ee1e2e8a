#pragma once
// The shortest time a good Flash Mode run can take, from the protocol alone: the box's
// power-on delay, the fixed pauses, the read rules (a read returns on its count, after the
// interval past its last byte, or at its total timeout) and ten bit times a byte on the line
// for every byte each way. Anything a run takes beyond it is the tool's (or the test box's)
// own overhead.
//
// Where a write returns decides how the pauses after the upload fall: on a UART (and the
// in-process port) a write ends once its bytes are on the line; a pseudo-terminal holds some
// 14 KB that the tool's port does not count as queued, so there a write ends once no more
// than that is still on its way, and the pauses after the upload start while the image's
// last 14 KB still cross the line.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// How many bytes the box sends at each point of a good run, as its record shows them.
struct BoxReplies {
  std::size_t banner = 0;
  std::size_t greeting_reply = 0;
  std::size_t start_reply = 0;
  std::size_t after_start_reply = 0;  // sent unasked once the start reply is out
  std::size_t speed_reply = 0;
  std::size_t status_reply = 0;
};

struct FloorStep {
  std::string what;
  double ms;
};

struct Floor {
  double total_ms = 0;
  std::vector<FloorStep> steps;
};

// held_bytes: how many of the tool's bytes may still be on their way when a write returns.
Floor flash_run_floor(const BoxReplies& replies, std::size_t image_size,
                      std::chrono::milliseconds power_on_delay, std::uint32_t baud,
                      std::size_t held_bytes);

}  // namespace bench
