#pragma once
// Reads the output speed of a terminal through termios2, which also shows rates that have
// no B-constant (kept apart from <termios.h>, whose struct clashes with the kernel's).

#include <cstdint>

namespace serial::testing {

// The output speed in baud, or 0 when it cannot be read.
std::uint32_t output_speed(int fd);

}  // namespace serial::testing
