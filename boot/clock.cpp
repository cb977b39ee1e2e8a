#include "boot/clock.h"

#include <thread>

namespace boot {

void SystemClock::sleep_for(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace boot
