#pragma once
// The work behind "Detect DM >>": open the chosen port, watch for the boot banner, then run
// the chosen mode's conversation with the box.

#include <cstdint>
#include <optional>
#include <span>

#include "boot/clock.h"
#include "boot/panel.h"
#include "serial/port.h"

namespace boot {

enum class Outcome {
  success,       // the mode's steps all went through
  wrong_answer,  // the box answered wrongly or not at all
  open_failed,   // the chosen port could not be opened
  device_error,  // a read or write failed (device lost)
  aborted,       // Esc, or the window closed
};

using LoaderImage = std::optional<std::span<const std::uint8_t>>;

// Runs one boot check to its end, as the "Detect DM >>" click does. A failed check has
// released the port; a successful one leaves it open.
Outcome run_boot_check(Panel& panel, serial::Port& port, Clock& clock, LoaderImage loader_image);

}  // namespace boot
