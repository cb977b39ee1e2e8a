// A whole boot check as the window runs it: the real serial port on a pseudo-terminal, the
// simulated box on the other end. Each row checks the log, the outcome, what became of the
// port, and what the box received on the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "boot/boot_check.h"
#include "boot/clock.h"
#include "recording_panel.h"
#include "resources/loader_image.h"
#include "serial/serial_port.h"
#include "sim/simulated_box.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using serial::Bytes;
using testing::ElementsAreArray;
using testing::Matcher;
using testing::MatchesRegex;

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string hex(const Bytes& bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  for (auto b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0x0F];
  }
  return text;
}

// What the tool must put on the line, written out here rather than taken from boot/.
const Bytes greeting = bytes_of("dream");
const Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
const Bytes speed_frame = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x09, 0x34,
                           0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
const Bytes status_frame = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};

Bytes loader_image() {
  const auto image = resources::find_rcdata("dmboot");
  return image ? Bytes(image->begin(), image->end()) : Bytes{};
}

const Bytes banner_a = {0xE0, 0x0D, 0x44, 0x72, 0x65, 0x61, 0x6D, 0x62, 0x6F,
                        0x78, 0x20, 0x44, 0x00, 0x4D, 0x35, 0x30, 0x30, 0x0D};

const std::string power_on = "Power ON DB Device [ESC to Abort]";
const std::string hw_id_a = "HW ID: [" + hex(banner_a) + "]";
const std::string hw_id_b = "HW ID: [F" + hex(banner_a).substr(1) + "]";
const std::string detected = "Dreambox Detected...Ok!";
const std::string data1 = "Data1: [" + hex(bytes_of("loading instr. file")) + "]";
const std::string sending = "Sending Flash Loader...";
const std::string baudrate_ok = "Settings Baudrate Ok!!";
// The 30-byte read of "setting baudrate to 115200..." CR LF leaves its LF for this read.
const std::string data2 =
    "Data2: [" +
    hex(bytes_of("\nclient: ok, i'm now attached to a server. waiting for further commands.\r\n")) +
    "]";
const std::string wrong = "Wrong Boot Response!";
const std::vector<std::string> success_lines = {"Boot Success!", "-Flash Chip Status Good !",
                                                "-Boot Success & Alive !", "-No Need For JTAG !"};

Matcher<const std::string&> any_hw_id() {
  return MatchesRegex("HW ID: \\[([0-9A-F]{2})+\\]");
}
Matcher<const std::string&> data2_with_status_mark() {
  return MatchesRegex("Data2: \\[([0-9A-F]{2})*" + hex(bytes_of("client: ok")) + "[0-9A-F]*\\]");
}

using Lines = std::vector<Matcher<const std::string&>>;

Lines flash_success(Matcher<const std::string&> hw_id, bool speed_mark = true,
                    Matcher<const std::string&> status = data2) {
  Lines lines = {power_on, hw_id, detected, data1, sending};
  if (speed_mark) lines.push_back(baudrate_ok);
  lines.push_back(status);
  for (const auto& line : success_lines) lines.push_back(line);
  return lines;
}

// How far the tool's side of the conversation got, as the box saw it.
enum class Wire {
  nothing,
  greeting_only,
  // The greeting, unless the release's flush of the pseudo-terminal discarded it before a
  // box busy sending took it in (a real line would have carried it).
  greeting_unless_flushed,
  through_start_command,
  part_of_image,
  everything,
};

Bytes expected_on_wire(Wire wire) {
  switch (wire) {
    case Wire::nothing:
      return {};
    case Wire::greeting_only:
    case Wire::greeting_unless_flushed:
      return greeting;
    case Wire::through_start_command:
    case Wire::part_of_image:
      return joined({greeting, start_command});
    case Wire::everything:
      return joined({greeting, start_command, loader_image(), speed_frame, status_frame});
  }
  return {};
}

// The box's own account, for when the wire holds something unexpected.
std::string notes(const sim::Record& record) {
  std::string text = "box notes:";
  for (const auto& note : record.notes) text += "\n  " + note.text;
  return text;
}

boot::LoaderImage loader() {
  return boot::LoaderImage{*resources::find_rcdata("dmboot")};
}

struct Row {
  std::string scenario;
  bool pace;
  Lines lines;
  boot::Outcome outcome;
  Wire wire;
  bool press_esc = false;  // for the box that never greets
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.scenario;
}

class FlashModeAgainstTheBox : public testing::TestWithParam<Row> {};

TEST_P(FlashModeAgainstTheBox, EndsAsTheScenarioDemands) {
  const Row& row = GetParam();
  sim::Options options;
  options.scenario = row.scenario;
  options.pace = row.pace;
  if (!row.pace) options.power_on_delay = 100ms;
  sim::SimulatedBox box(options);

  RecordingPanel panel;
  serial::SerialPort port;
  boot::SystemClock clock;
  std::jthread esc_presser;
  if (row.press_esc) {
    esc_presser = std::jthread([&panel] {
      std::this_thread::sleep_for(1500ms);
      panel.press_esc();
    });
  }

  const boot::Report report =
      boot::run_boot_check(panel, port, clock, {box.slave_path(), boot::Mode::flash, loader()});

  EXPECT_EQ(report.outcome, row.outcome);
  EXPECT_THAT(panel.lines, ElementsAreArray(row.lines));
  EXPECT_TRUE(panel.controls_enabled);
  const bool success = row.outcome == boot::Outcome::success;
  EXPECT_EQ(port.is_open(), success) << "a failed check releases the port, a good one keeps it";
  EXPECT_EQ(panel.save_log_visible, success);
  EXPECT_EQ(panel.port_list_rebuilds, 0);
  if (row.outcome == boot::Outcome::device_error) {
    EXPECT_THAT(report.error, testing::HasSubstr(box.slave_path()));
  } else {
    EXPECT_EQ(report.error, "");
  }
  if (success) {
    ASSERT_FALSE(panel.progress.empty());
    EXPECT_EQ(panel.progress.back(), 100);
  }

  port.close();
  const sim::Record record = box.record();
  const Bytes received = record.bytes(sim::Chunk::Direction::received);
  const Bytes expected = expected_on_wire(row.wire);
  if (row.wire == Wire::part_of_image) {
    ASSERT_GT(received.size(), expected.size());
    EXPECT_LT(received.size(), expected_on_wire(Wire::everything).size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), received.begin()));
    const Bytes image = loader_image();
    EXPECT_TRUE(std::equal(received.begin() + static_cast<std::ptrdiff_t>(expected.size()),
                           received.end(), image.begin()))
        << "the part of the image that arrived is the image's start";
  } else if (row.wire == Wire::greeting_unless_flushed) {
    EXPECT_TRUE(received.empty() || received == expected) << hex(received) << notes(record);
  } else {
    EXPECT_EQ(hex(received), hex(expected)) << notes(record);
  }
  if (row.wire == Wire::everything) {
    EXPECT_EQ(record.image, loader_image());
    EXPECT_TRUE(record.reached(sim::Stage::image_valid));
    ASSERT_EQ(record.frames.size(), 2u);
    EXPECT_TRUE(record.frames[0].valid && record.frames[1].valid);
    EXPECT_EQ(record.frames[0].command, 0x01);
    EXPECT_EQ(record.frames[1].command, 0x04);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FlashModeAgainstTheBox,
    testing::Values(
        // The one run paced like a real line: the upload takes its 3.7 s.
        Row{"good", true, flash_success(hw_id_a), boot::Outcome::success, Wire::everything},
        Row{"form-b", false, flash_success(hw_id_b), boot::Outcome::success, Wire::everything},
        Row{"noise-before-banner", false, flash_success(any_hw_id()), boot::Outcome::success,
            Wire::everything},
        // "Dream" is found across the two pieces; the log shows the last piece only.
        Row{"split-banner", false,
            flash_success("HW ID: [" + hex(Bytes(banner_a.begin() + 5, banner_a.end())) + "]"),
            boot::Outcome::success, Wire::everything},
        // The line end after the start reply is swallowed by the read after the upload.
        Row{"start-reply-lineend", false, flash_success(hw_id_a), boot::Outcome::success,
            Wire::everything},
        Row{"bad-speed-reply", false, flash_success(hw_id_a, false, data2_with_status_mark()),
            boot::Outcome::success, Wire::everything},
        Row{"reply-crlf",
            false,
            {power_on, hw_id_a, wrong},
            boot::Outcome::wrong_answer,
            Wire::greeting_only},
        Row{"reply-extra",
            false,
            {power_on, hw_id_a, detected, "Data1: [" + hex(bytes_of("?\r\nloading instr. f")) + "]",
             wrong},
            boot::Outcome::wrong_answer,
            Wire::through_start_command},
        Row{"no-start-reply",
            false,
            {power_on, hw_id_a, detected, "Data1: []", wrong},
            boot::Outcome::wrong_answer,
            Wire::through_start_command},
        Row{"slow-ok",
            false,
            {power_on, hw_id_a, wrong},
            boot::Outcome::wrong_answer,
            Wire::greeting_only},
        Row{"flood",
            false,
            {power_on, any_hw_id(), wrong},
            boot::Outcome::wrong_answer,
            Wire::greeting_unless_flushed},
        // No status message: the "Data2: [" line (the speed reply's leftover LF) says it all.
        Row{"no-status",
            false,
            {power_on, hw_id_a, detected, data1, sending, baudrate_ok, "Data2: [0A]"},
            boot::Outcome::wrong_answer,
            Wire::everything},
        Row{"unplug-during-upload",
            false,
            {power_on, hw_id_a, detected, data1, sending},
            boot::Outcome::device_error,
            Wire::part_of_image},
        // A box that never greets is waited for until Esc.
        Row{"silent",
            false,
            {power_on, "HW ID: []", "User Abort!"},
            boot::Outcome::aborted,
            Wire::nothing,
            true}),
    [](const testing::TestParamInfo<Row>& p) {
      std::string name = p.param.scenario;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(TestModeAgainstTheBox, ShowsWhatTheConsolePrintsAfterTheReturns) {
  sim::Options options;
  options.pace = false;
  options.power_on_delay = 100ms;
  sim::SimulatedBox box(options);
  RecordingPanel panel;
  serial::SerialPort port;
  boot::SystemClock clock;

  EXPECT_EQ(
      boot::run_boot_check(panel, port, clock, {box.slave_path(), boot::Mode::test, {}}).outcome,
      boot::Outcome::success);
  EXPECT_TRUE(port.is_open());
  EXPECT_TRUE(panel.controls_enabled);
  EXPECT_FALSE(panel.save_log_visible);
  ASSERT_EQ(panel.lines.size(), 3u);
  EXPECT_EQ(panel.lines[0], power_on);
  EXPECT_FALSE(panel.lines[1].empty());

  port.close();
  const sim::Record record = box.record();
  EXPECT_EQ(record.bytes(sim::Chunk::Direction::received), Bytes(6, 0x0D));
  EXPECT_TRUE(record.reached(sim::Stage::firmware_booted));
  // The two console lines are what the box printed after its banner, in order, unchanged.
  const Bytes sent = record.bytes(sim::Chunk::Direction::sent);
  ASSERT_GE(sent.size(), banner_a.size());
  const std::string console(sent.begin() + static_cast<std::ptrdiff_t>(banner_a.size()),
                            sent.end());
  EXPECT_TRUE(console.starts_with(panel.lines[1] + panel.lines[2]))
      << "log: " << panel.lines[1] << "|" << panel.lines[2] << "\nbox: " << console;
}

}  // namespace
}  // namespace e2e
