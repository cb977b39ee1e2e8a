#include "serial/custom_speed_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace serial {

int set_custom_speed(int fd, std::uint32_t baud) {
  termios2 settings{};
  if (ioctl(fd, TCGETS2, &settings) != 0) return errno;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baud;
  settings.c_ospeed = baud;
  if (ioctl(fd, TCSETS2, &settings) != 0) return errno;
  return 0;
}

}  // namespace serial
