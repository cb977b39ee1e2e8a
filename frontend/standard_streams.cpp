#include "frontend/standard_streams.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace frontend {

bool fill_closed_standard_streams() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one, as the lower ones are open by now.
    const int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened < 0) return false;
    if (opened != fd) {
      ::close(opened);
      return false;
    }
  }
#endif
  return true;
}

}  // namespace frontend
