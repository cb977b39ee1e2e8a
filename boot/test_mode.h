#pragma once
// Test Mode: after the banner, wake the box's console with carriage returns and show what it
// prints. Nothing is uploaded.

#include <array>
#include <chrono>
#include <cstdint>

#include "boot/dialogue.h"

namespace boot {

inline constexpr std::array<std::uint8_t, 5> wake_up_burst = {0x0D, 0x0D, 0x0D, 0x0D, 0x0D};
inline constexpr std::array<std::uint8_t, 1> single_return = {0x0D};

inline constexpr std::size_t burst_answer_read_size = 60;
inline constexpr std::size_t return_answer_read_size = 40;
// Before the controls come back; the window processes no messages meanwhile.
inline constexpr std::chrono::milliseconds console_settle_pause{1650};

bool test_capture(Dialogue& dialogue);

}  // namespace boot
