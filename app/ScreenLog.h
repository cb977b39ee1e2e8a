#pragma once
// The upload gauge PP: a value 0..100 shown with its "%" centred over the bar.

#include <cstdint>

class QProgressBar;

namespace ScreenLog {

// The gauge at done of total, by the dialogue's own percent rule.
void show_progress(QProgressBar& gauge, std::uint32_t done, std::uint32_t total);
// The gauge at percent (0..100), repainted at once: during the upload the window processes
// no messages, and the bar should still move.
void show_percent(QProgressBar& gauge, int percent);
void reset_progress(QProgressBar& gauge);

}  // namespace ScreenLog
