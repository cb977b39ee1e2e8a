#pragma once
// A boot check with a scripted box, a recording window and a clock that does not wait.

#include <string_view>

#include "boot/boot_check.h"
#include "recording_panel.h"
#include "scripted_port.h"

namespace boot_test {

// The 18-byte banner, form A, as the boot ROM prints it.
serial::Bytes banner_a();
serial::Bytes banner_b();

// A loader image of the real size with recognisable content (byte i is i mod 251).
const serial::Bytes& test_image();

// The replies of a healthy box, one per read of a Flash Mode run after the banner.
inline constexpr std::string_view speed_reply = "setting baudrate to 115200...\r";
inline constexpr std::string_view status_reply = "client: ok, i'm now attached to a se";

struct Rig {
  Trace trace;
  ScriptedPort port{trace};
  RecordingPanel panel{trace};
  FakeClock clock{trace};
  boot::LoaderImage image = test_image();

  // Queues the box's side of a good Flash Mode run: banner, "ok", start reply, the
  // loader's replies.
  void script_good_flash_box();
  boot::Outcome run();
};

}  // namespace boot_test
