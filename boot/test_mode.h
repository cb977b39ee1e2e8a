#pragma once
// Test Mode: after the banner, wake the box's console with carriage returns and show what it
// prints. Nothing is uploaded.

#include <array>
#include <cstdint>

#include "boot/dialogue.h"

namespace boot {

inline constexpr std::array<std::uint8_t, 5> wake_up_burst = {0x0D, 0x0D, 0x0D, 0x0D, 0x0D};
inline constexpr std::array<std::uint8_t, 1> single_return = {0x0D};

bool test_capture(Dialogue& dialogue);

}  // namespace boot
