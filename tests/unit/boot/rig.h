#pragma once
// A boot check with a scripted box, a recording window and a clock that does not wait.

#include <ostream>
#include <string_view>

#include "boot/banner_watch.h"
#include "boot/boot_check.h"
#include "recording_panel.h"
#include "scripted_port.h"

namespace boot {
// Readable values in failure messages.
inline void PrintTo(Outcome outcome, std::ostream* os) {
  *os << outcome_name(outcome);
}
inline void PrintTo(Stage stage, std::ostream* os) {
  *os << stage_name(stage);
}
inline void PrintTo(WaitHint hint, std::ostream* os) {
  constexpr const char* names[] = {"none", "silent_line", "noisy_line"};
  *os << names[static_cast<int>(hint)];
}
}  // namespace boot

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
  Rig();

  Trace trace;
  ScriptedPort port{trace};
  RecordingPanel panel{trace};
  FakeClock clock{trace};
  // What the user chose before pressing "Detect DM >>".
  std::string port_name = "ttyTEST0";
  boot::Mode mode = boot::Mode::flash;
  std::optional<boot::LoaderImage> image = boot::LoaderImage{test_image()};
  // How the last run ended.
  boot::Report report;

  // Queues the box's side of a good Flash Mode run: banner, "ok", start reply, the
  // loader's replies.
  void script_good_flash_box();
  boot::Outcome run();
  // The banner watch alone, on the port as the test left it.
  boot::BannerWatchResult watch();
};

}  // namespace boot_test
