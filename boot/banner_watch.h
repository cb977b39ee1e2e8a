#pragma once
// Waiting for the box to greet: the user switches it on and its boot ROM prints an 18-byte
// banner. There is no time limit; the wait ends on the banner, on Esc, or on the window
// closing.

#include <array>
#include <chrono>
#include <cstdint>

#include "boot/dialogue.h"
#include "serial/port.h"

namespace boot {

inline constexpr std::size_t banner_size = 18;

// The two banners the boot ROM prints; they differ only in the first byte.
inline constexpr std::array<std::uint8_t, banner_size> banner_form_a = {
    0xE0, 0x0D, 'D', 'r', 'e', 'a', 'm', 'b', 'o', 'x', ' ', 'D', 0x00, 'M', '5', '0', '0', 0x0D};
inline constexpr std::array<std::uint8_t, banner_size> banner_form_b = {
    0xF0, 0x0D, 'D', 'r', 'e', 'a', 'm', 'b', 'o', 'x', ' ', 'D', 0x00, 'M', '5', '0', '0', 0x0D};

// A line that has brought nothing this long is worth a word to the user.
inline constexpr std::chrono::seconds silent_line_hint_after{5};
// Bytes without a banner this long after the first of them: not a banner split across reads.
inline constexpr std::chrono::seconds noisy_line_hint_after{1};

struct BannerWatchResult {
  serial::Bytes received_piece;  // what the last read returned: the hardware identity
  bool aborted = false;          // Esc was pressed or the window closed meanwhile
};

// Reads banner-sized pieces with the watch profile in force, letting the window process
// its messages before each, until a piece is a banner or "Dream" shows up. "Dream" is also
// found when it is split between two reads. What it saw goes to the report; a hint about a
// silent or noisy line goes to the panel while it waits.
BannerWatchResult watch_for_banner(Dialogue& dialogue);

// After the watch: on Esc or a close request clears the abort flag, logs "User Abort!" and
// stops the check; otherwise sets the dialogue profile and returns true.
bool leave_banner_watch(Dialogue& dialogue);

}  // namespace boot
