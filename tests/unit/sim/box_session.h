#pragma once
// A box and the tool's end of its line, with the steps of a Flash Mode run written out as
// the tool would do them, so each test only spells out where it differs.

#include <string>

#include "sim/simulated_box.h"
#include "tests/unit/sim/pty_client.h"

namespace sim_test {

inline const Bytes banner_form_a = {0xE0, 0x0D, 0x44, 0x72, 0x65, 0x61, 0x6D, 0x62, 0x6F,
                                    0x78, 0x20, 0x44, 0x00, 0x4D, 0x35, 0x30, 0x30, 0x0D};
inline const Bytes greeting_reply = {0x6F, 0x6B, 0x0A, 0x0D};
inline const Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
inline const Bytes speed_frame = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2,
                                  0x00, 0x00, 0x09, 0x34, 0x00, 0x00, 0xFF, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
inline const Bytes status_frame = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};
inline constexpr std::string_view start_reply = "loading instr. file";
inline constexpr std::string_view status_reply =
    "client: ok, i'm now attached to a server. waiting for further commands.\r\n";

// Fast and deterministic: no pacing, switched on by the test, a small image.
sim::Options quick_options(std::string scenario = "good");

// A read that should bring something; long enough never to be the reason a test fails.
inline constexpr milliseconds reply_wait{2000};
// How long "nothing comes" is watched for.
inline constexpr milliseconds silence_wait{300};

struct BoxSession {
  explicit BoxSession(sim::Options options = quick_options());

  Bytes power_on_and_read_banner();
  Bytes greet();  // "dream", then the 4-byte reply
  Bytes start();  // the start command, then the 19-byte reply
  bool upload(const Bytes& image);
  // All of the above for a good box and a valid image; fails the test if a step does.
  void reach_loader();
  Bytes exchange(const Bytes& frame, std::size_t reply_size);

  sim::Options options;
  sim::SimulatedBox box;
  PtyClient client;
};

}  // namespace sim_test
