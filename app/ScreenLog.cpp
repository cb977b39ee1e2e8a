#include "app/ScreenLog.h"

#include <QProgressBar>

namespace ScreenLog {

void show_percent(QProgressBar& gauge, int percent) {
  gauge.setRange(0, 100);
  gauge.setValue(percent);
  gauge.repaint();
}

}  // namespace ScreenLog
