#pragma once
// The upload gauge (the window's PP, through the panel).

#include <cstdint>

#include "boot/panel.h"

namespace boot {

// done / total * 100 in floating point, rounded to nearest with halves to even, kept within
// 0..100. With nothing to send (total 0) the upload is complete: 100.
int progress_percent(std::uint32_t done, std::uint32_t total);

void show_progress(Panel& panel, std::uint32_t done, std::uint32_t total);
void reset_progress(Panel& panel);

}  // namespace boot
