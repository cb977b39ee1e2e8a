#include "speed_probe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace serial::testing {

std::uint32_t output_speed(int fd) {
  termios2 settings{};
  if (ioctl(fd, TCGETS2, &settings) != 0) return 0;
  return settings.c_ospeed;
}

}  // namespace serial::testing
