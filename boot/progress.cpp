#include "boot/progress.h"

#include <algorithm>
#include <cmath>

namespace boot {

int progress_percent(std::uint32_t done, std::uint32_t total) {
  if (total == 0) return 100;
  // The default rounding mode rounds halves to the even neighbour, as the gauge expects.
  const double percent =
      std::nearbyint(static_cast<double>(done) / static_cast<double>(total) * 100.0);
  return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

void show_progress(Panel& panel, std::uint32_t done, std::uint32_t total) {
  panel.set_progress(progress_percent(done, total));
}

void reset_progress(Panel& panel) {
  panel.set_progress(0);
}

}  // namespace boot
