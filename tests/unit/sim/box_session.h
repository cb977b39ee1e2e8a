#pragma once
// A box and the tool's end of its line, with the steps of a Flash Mode run written out as
// the tool would do them, so each test only spells out where it differs. The box sits on a
// pseudo-terminal or behind the in-process port; the steps are the same for both.

#include <memory>
#include <string>
#include <string_view>

#include "serial/port.h"
#include "sim/in_process_box_port.h"
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

enum class Transport { pty, in_process };
std::string_view transport_name(Transport transport);

// Either kind of simulated box, with what the tests ask of both.
class TestBox {
 public:
  TestBox(const sim::Options& options, Transport transport);

  void power_on();
  void power_off();
  sim::Record record() const;
  bool wait_for(sim::Stage stage, milliseconds timeout) const;
  // The pseudo-terminal's path; empty for the in-process box.
  std::string slave_path() const;
  // The in-process box's port; null for the pseudo-terminal.
  sim::InProcessBoxPort* port() const { return port_.get(); }

 private:
  std::unique_ptr<sim::SimulatedBox> pty_;
  std::unique_ptr<sim::InProcessBoxPort> port_;
};

// The tool's end of the wire, opened at 115200 baud: the pseudo-terminal's slave opened raw,
// or the in-process port used through serial::Port alone.
class ToolEnd {
 public:
  explicit ToolEnd(const TestBox& box);

  // False when the line is gone.
  bool write(std::span<const std::uint8_t> bytes);
  bool write(std::string_view text);
  // Returns once count bytes arrived, or what arrived when the timeout passed.
  Bytes read(std::size_t count, milliseconds timeout);
  // Everything that arrives until the line stays quiet for the given time.
  Bytes read_until_quiet(milliseconds quiet, milliseconds limit = milliseconds(5000));
  // True when a read reports the end of the line (the box side went away).
  bool line_gone(milliseconds timeout);

 private:
  std::unique_ptr<PtyClient> pty_;
  serial::Port* port_ = nullptr;
};

struct BoxSession {
  explicit BoxSession(sim::Options options = quick_options(), Transport transport = Transport::pty);

  Bytes power_on_and_read_banner();
  Bytes greet();  // "dream", then the 4-byte reply
  Bytes start();  // the start command, then the 19-byte reply
  bool upload(const Bytes& image);
  // All of the above for a good box and a valid image; fails the test if a step does.
  void reach_loader();
  Bytes exchange(const Bytes& frame, std::size_t reply_size);

  sim::Options options;
  TestBox box;
  ToolEnd client;
};

}  // namespace sim_test
