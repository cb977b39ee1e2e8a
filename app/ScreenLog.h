#pragma once
// The upload gauge PP: a value 0..100 shown with its "%" centred over the bar.

class QProgressBar;

namespace ScreenLog {

// The gauge at percent (0..100; the dialogue computes it from the bytes sent), repainted at
// once: during the upload the window processes no messages, and the bar should still move.
void show_percent(QProgressBar& gauge, int percent);

}  // namespace ScreenLog
