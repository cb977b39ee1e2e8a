// Only the kernel's termios2 here: it cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace sim {

std::uint32_t read_line_speed(int master_fd) {
  struct termios2 settings {};
  if (ioctl(master_fd, TCGETS2, &settings) != 0) return 0;
  return settings.c_ospeed;
}

}  // namespace sim
