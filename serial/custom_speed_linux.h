#pragma once
// Rates that termios has no B-constant for go through Linux's termios2 interface. It lives
// in a file of its own because <asm/termbits.h> and <termios.h> cannot share one.

#include <cstdint>

namespace serial {

// Sets both directions of the open terminal fd to baud. Returns 0, or the errno of the
// failing call.
int set_custom_speed(int fd, std::uint32_t baud);

}  // namespace serial
