#include "app/ScreenLog.h"

#include <QProgressBar>

#include "boot/progress.h"

namespace ScreenLog {

void show_progress(QProgressBar& gauge, std::uint32_t done, std::uint32_t total) {
  show_percent(gauge, boot::progress_percent(done, total));
}

void show_percent(QProgressBar& gauge, int percent) {
  gauge.setRange(0, 100);
  gauge.setValue(percent);
  gauge.repaint();
}

void reset_progress(QProgressBar& gauge) {
  gauge.setValue(0);
}

}  // namespace ScreenLog
