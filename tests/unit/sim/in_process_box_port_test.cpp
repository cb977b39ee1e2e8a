// The in-process port against the real box, driven through serial::Port alone, the way a
// front end drives a serial adapter.

#include "sim/in_process_box_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "serial/serial_error.h"
#include "sim/line_pacer.h"
#include "tests/unit/sim/test_image.h"

namespace {

using namespace std::chrono_literals;
using serial::Bytes;
using serial::ReadTimeouts;
using sim::Chunk;
using sim::Stage;
using Clock = std::chrono::steady_clock;

const Bytes banner = {0xE0, 0x0D, 'D', 'r',  'e', 'a', 'm', 'b', 'o',
                      'x',  ' ',  'D', 0x00, 'M', '5', '0', '0', 0x0D};
const Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
const Bytes speed_frame = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x09, 0x34,
                           0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
const Bytes status_frame = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};
constexpr std::string_view start_reply = "loading instr. file";
constexpr std::string_view speed_reply = "setting baudrate to 115200...\r\n";
constexpr std::string_view status_reply =
    "client: ok, i'm now attached to a server. waiting for further commands.\r\n";

// Long enough never to be the reason a test fails.
constexpr ReadTimeouts patient{0, 5000, 0};

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// Fast and deterministic: no pacing, switched on by the test, a small image.
sim::Options quick_options(std::string scenario) {
  sim::Options options;
  options.scenario = std::move(scenario);
  options.pace = false;
  options.power_on_delay = -1ms;
  options.dream_window = 1500ms;
  options.image_size = 4096;
  options.console_interval = 60s;
  return options;
}

Bytes read(serial::Port& port, std::size_t count, const ReadTimeouts& timeouts) {
  port.set_timeouts(timeouts);
  return port.read(count);
}

void open_at(serial::Port& port, std::uint32_t baud) {
  port.set_baud_rate(baud);
  port.open();
}

// The text of the SerialError the call throws; empty if it throws none.
std::string error_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const serial::SerialError& error) {
    return error.what();
  }
  return {};
}

bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// The chunks of one direction, in order.
std::vector<Chunk> chunks_of(const sim::Record& record, Chunk::Direction direction) {
  std::vector<Chunk> chunks;
  for (const Chunk& chunk : record.chunks)
    if (chunk.direction == direction) chunks.push_back(chunk);
  return chunks;
}

// The chunks of one direction that carry `size` bytes after its first `before` bytes.
std::vector<Chunk> chunks_carrying(const sim::Record& record, Chunk::Direction direction,
                                   std::size_t before, std::size_t size) {
  std::vector<Chunk> chunks;
  std::size_t seen = 0;
  for (const Chunk& chunk : chunks_of(record, direction)) {
    if (seen >= before && seen < before + size) chunks.push_back(chunk);
    seen += chunk.bytes.size();
  }
  return chunks;
}

// From the first chunk to the last.
std::chrono::milliseconds span(const std::vector<Chunk>& chunks) {
  return chunks.empty() ? 0ms : chunks.back().at - chunks.front().at;
}

// How long a line at this speed takes for so many bytes, ten bits each, less the burst an
// idle line grants and a millisecond for the record's rounding.
std::chrono::milliseconds line_time(std::size_t bytes, std::uint32_t baud) {
  const auto paced = bytes - sim::LinePacer::max_burst;
  return std::chrono::milliseconds(static_cast<long>(paced * 10'000 / baud)) - 1ms;
}

struct PowerOnCase {
  const char* name;
  std::vector<std::uint32_t> speeds;  // the first opens the port, the rest follow on it
  bool switches_on;
};

void PrintTo(const PowerOnCase& c, std::ostream* out) {
  *out << c.name;
}

class PowerOn : public testing::TestWithParam<PowerOnCase> {};

TEST_P(PowerOn, SwitchesOnOnlyOnceThePortIsOpenAtTheBootSpeed) {
  const PowerOnCase& c = GetParam();
  sim::Options options = quick_options("good");
  options.power_on_delay = 100ms;
  sim::InProcessBoxPort box(options);
  serial::Port& port = box;
  open_at(port, c.speeds.front());
  for (std::uint32_t speed : c.speeds) port.set_baud_rate(speed);

  if (c.switches_on) {
    EXPECT_EQ(read(port, banner.size(), patient), banner);
    EXPECT_GE(box.record().first_time(Stage::powered_on), options.power_on_delay);
  } else {
    EXPECT_TRUE(read(port, banner.size(), {0, 300, 0}).empty());
    EXPECT_FALSE(box.record().reached(Stage::powered_on));
  }
}

INSTANTIATE_TEST_SUITE_P(
    InProcessBoxPort, PowerOn,
    testing::Values(PowerOnCase{"opened_at_115200", {115200}, true},
                    PowerOnCase{"opened_at_the_scan_speed", {9600}, false},
                    PowerOnCase{"opened_at_57600", {57600}, false},
                    PowerOnCase{"scan_speed_then_115200_on_the_open_port", {9600, 115200}, true}),
    [](const testing::TestParamInfo<PowerOnCase>& param_info) {
      return std::string(param_info.param.name);
    });

// The split banner comes as 5 bytes, 200 ms of silence, then the other 13: each rule ends a
// read either in that gap or after it.
struct ReadRuleCase {
  const char* name;
  ReadTimeouts timeouts;
  std::size_t count;
  std::size_t expected;  // how many bytes of the banner the read returns
};

void PrintTo(const ReadRuleCase& c, std::ostream* out) {
  *out << c.name;
}

class ReadRules : public testing::TestWithParam<ReadRuleCase> {};

TEST_P(ReadRules, EndTheReadAsOnWindows) {
  const ReadRuleCase& c = GetParam();
  sim::InProcessBoxPort box(quick_options("split-banner"));
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  box.power_on();

  const Bytes got = read(port, c.count, c.timeouts);
  EXPECT_EQ(got, Bytes(banner.begin(), banner.begin() + static_cast<long>(c.expected)));
  // Nothing is lost or doubled: the rest stays queued for the next read.
  Bytes all = got;
  const Bytes rest = read(port, banner.size() - got.size(), patient);
  all.insert(all.end(), rest.begin(), rest.end());
  EXPECT_EQ(all, banner);
}

INSTANTIATE_TEST_SUITE_P(
    InProcessBoxPort, ReadRules,
    testing::Values(ReadRuleCase{"count_reached", serial::dialogue_profile, 3, 3},
                    ReadRuleCase{"interval_runs_out_in_the_gap", {50, 5000, 0}, 18, 5},
                    ReadRuleCase{"interval_longer_than_the_gap", {500, 5000, 0}, 18, 18},
                    ReadRuleCase{"total_runs_out_in_the_gap", {0, 100, 0}, 18, 5},
                    ReadRuleCase{"total_per_byte_runs_out_in_the_gap", {0, 0, 5}, 18, 5},
                    ReadRuleCase{"total_per_byte_outlasts_the_gap", {0, 0, 20}, 18, 18},
                    ReadRuleCase{"immediate_takes_what_waits", serial::immediate_profile, 18, 5},
                    ReadRuleCase{"no_timeouts_wait_for_the_count", {0, 0, 0}, 18, 18}),
    [](const testing::TestParamInfo<ReadRuleCase>& param_info) {
      return std::string(param_info.param.name);
    });

struct SilentReadCase {
  const char* name;
  ReadTimeouts timeouts;
  std::chrono::milliseconds at_least;
};

void PrintTo(const SilentReadCase& c, std::ostream* out) {
  *out << c.name;
}

class SilentLine : public testing::TestWithParam<SilentReadCase> {};

TEST_P(SilentLine, ReadEndsEmptyWhenItsTimeIsUp) {
  const SilentReadCase& c = GetParam();
  sim::InProcessBoxPort box(quick_options("silent"));
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  box.power_on();

  const auto start = Clock::now();
  EXPECT_TRUE(read(port, 4, c.timeouts).empty());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, c.at_least);
  EXPECT_LT(took, c.at_least + 3s);  // wide: only that it does not wait on and on
}

INSTANTIATE_TEST_SUITE_P(
    InProcessBoxPort, SilentLine,
    testing::Values(SilentReadCase{"total", {0, 300, 0}, 300ms},
                    SilentReadCase{"interval_waits_for_a_first_byte", {50, 300, 0}, 300ms},
                    SilentReadCase{"total_per_byte", {0, 0, 100}, 400ms},
                    SilentReadCase{"immediate", serial::immediate_profile, 0ms}),
    [](const testing::TestParamInfo<SilentReadCase>& param_info) {
      return std::string(param_info.param.name);
    });

// A whole Flash Mode check as the tool runs it, with the box switching itself on.
class WholeCheck : public testing::TestWithParam<bool> {};

TEST_P(WholeCheck, ImageIsTakenAndCheckedAndBothFramesAnswered) {
  const bool pace = GetParam();
  sim::Options options = quick_options("good");
  options.pace = pace;
  options.power_on_delay = 50ms;
  options.image_size = 43044;
  sim::InProcessBoxPort box(options);
  serial::Port& port = box;

  open_at(port, serial::boot_baud_rate);
  port.set_timeouts(serial::watch_profile);
  port.set_dtr(true);
  port.set_rts(true);
  Bytes piece;
  for (const auto give_up = Clock::now() + 5s; piece.empty() && Clock::now() < give_up;)
    piece = port.read(banner.size());
  EXPECT_EQ(piece, banner);

  port.set_timeouts(serial::dialogue_profile);
  port.write(bytes_of("dream"));
  EXPECT_EQ(port.read(4), bytes_of("ok\n\r"));
  port.write(start_command);
  EXPECT_EQ(port.read(start_reply.size()), bytes_of(start_reply));
  const Bytes image = sim_test::valid_image(options.image_size);
  constexpr std::size_t piece_size = 1024;
  for (std::size_t at = 0; at < image.size(); at += piece_size) {
    const std::size_t size = std::min(piece_size, image.size() - at);
    port.write(serial::ByteView(image).subspan(at, size));
  }
  port.write(speed_frame);
  EXPECT_EQ(port.read(speed_reply.size()), bytes_of(speed_reply));
  port.write(status_frame);
  EXPECT_EQ(port.read(status_reply.size()), bytes_of(status_reply));

  const sim::Record record = box.record();
  EXPECT_EQ(record.image, image);
  EXPECT_TRUE(record.reached(Stage::image_valid));
  EXPECT_TRUE(record.reached(Stage::status_answered));

  const auto image_in =
      chunks_carrying(record, Chunk::Direction::received, 5 + start_command.size(), image.size());
  const auto sent = chunks_of(record, Chunk::Direction::sent);
  if (pace) {
    // The line carried it byte by byte at 115200 baud, in both directions.
    EXPECT_GE(span(image_in), line_time(image.size(), serial::boot_baud_rate));
    for (const Chunk& chunk : sent) EXPECT_LE(chunk.bytes.size(), sim::LinePacer::max_burst);
  } else {
    // Each write reached the box at once, and each reply left the box whole.
    EXPECT_EQ(image_in.size(), (image.size() + piece_size - 1) / piece_size);
    EXPECT_EQ(sent.back().bytes, bytes_of(status_reply));
  }
}

INSTANTIATE_TEST_SUITE_P(InProcessBoxPort, WholeCheck, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param_info) {
                           return std::string(param_info.param ? "paced" : "unpaced");
                         });

// The flood after the banner shows the box's direction, the upload the tool's.
class PacingSpeed : public testing::TestWithParam<std::uint32_t> {};

TEST_P(PacingSpeed, BothDirectionsTakeTenBitsAByteAtThePortsSpeed) {
  const std::uint32_t baud = GetParam();
  sim::Options options = quick_options("flood");
  options.pace = true;
  options.dream_window = 30s;  // the flood must not outlast the ROM's patience
  sim::InProcessBoxPort box(options);
  serial::Port& port = box;
  open_at(port, baud);
  box.power_on();

  constexpr std::size_t flood = 4096;
  EXPECT_EQ(read(port, banner.size() + flood, {500, 20000, 0}).size(), banner.size() + flood);
  port.write(bytes_of("dream"));
  EXPECT_EQ(read(port, 4, patient), bytes_of("ok\n\r"));
  port.write(start_command);
  EXPECT_EQ(read(port, start_reply.size(), patient), bytes_of(start_reply));
  port.write(sim_test::valid_image(options.image_size));
  EXPECT_TRUE(box.wait_for(Stage::image_valid, 5s));

  const sim::Record record = box.record();
  EXPECT_GE(span(chunks_carrying(record, Chunk::Direction::sent, banner.size(), flood)),
            line_time(flood, baud));
  EXPECT_GE(span(chunks_carrying(record, Chunk::Direction::received, 5 + start_command.size(),
                                 options.image_size)),
            line_time(options.image_size, baud));
}

INSTANTIATE_TEST_SUITE_P(InProcessBoxPort, PacingSpeed, testing::Values(115200u, 57600u),
                         [](const testing::TestParamInfo<std::uint32_t>& param_info) {
                           return "baud_" + std::to_string(param_info.param);
                         });

TEST(InProcessBoxPort, AnUnpluggedBoxFailsThePortLikeALostDevice) {
  sim::InProcessBoxPort box(quick_options("unplug-during-upload"));
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  box.power_on();
  ASSERT_EQ(read(port, banner.size(), patient), banner);
  port.write(bytes_of("dream"));
  ASSERT_EQ(read(port, 4, patient), bytes_of("ok\n\r"));
  port.write(start_command);
  ASSERT_EQ(read(port, start_reply.size(), patient), bytes_of(start_reply));

  const Bytes image = sim_test::valid_image(4096);
  EXPECT_TRUE(contains(error_of([&] { port.write(image); }), "DEMO: WriteFile function failed"));
  EXPECT_TRUE(port.is_open());  // the port object stays open until the tool closes it
  EXPECT_TRUE(contains(error_of([&] { read(port, 1, patient); }), "ReadFile function failed"));
  EXPECT_TRUE(contains(error_of([&] { port.write(status_frame); }), "WriteFile function failed"));
  EXPECT_EQ(port.bytes_waiting(), 0u);

  port.close();
  EXPECT_TRUE(contains(error_of([&] { port.open(); }), "no such device"));
  EXPECT_FALSE(port.is_open());

  const sim::Record record = box.record();
  EXPECT_TRUE(record.reached(Stage::unplugged));
  EXPECT_GE(record.image.size(), image.size() / 2);
  EXPECT_LT(record.image.size(), image.size());
}

TEST(InProcessBoxPort, StartsLikeANewSerialPortUnderItsOwnName) {
  sim::InProcessBoxPort box(quick_options("good"));
  const serial::Port& port = box;
  EXPECT_EQ(port.port(), "DEMO");
  EXPECT_EQ(port.baud_rate(), serial::scan_baud_rate);
  EXPECT_EQ(port.timeouts(), serial::immediate_profile);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.bytes_waiting(), 0u);
}

TEST(InProcessBoxPort, OpensOnlyUnderItsOwnName) {
  sim::InProcessBoxPort box(quick_options("good"), "COM5");
  serial::Port& port = box;
  port.set_port("COM3");
  EXPECT_TRUE(contains(error_of([&] { port.open(); }), "COM3: cannot open the port"));
  EXPECT_FALSE(port.is_open());

  port.set_port("COM5");
  port.open();
  EXPECT_TRUE(port.is_open());
  // A new name on an open port closes it and opens the new one, which is not there.
  EXPECT_FALSE(error_of([&] { port.set_port("COM3"); }).empty());
  EXPECT_FALSE(port.is_open());
}

TEST(InProcessBoxPort, CallsOnAClosedPortFail) {
  sim::InProcessBoxPort box(quick_options("good"));
  serial::Port& port = box;
  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"read", [&] { port.read(1); }},
      {"write", [&] { port.write(bytes_of("dream")); }},
      {"set DTR", [&] { port.set_dtr(true); }},
      {"set RTS", [&] { port.set_rts(true); }},
  };
  for (const auto& [what, call] : calls) {
    EXPECT_EQ(error_of(call), "DEMO: cannot " + std::string(what) + ": the port is not open");
  }
  EXPECT_FALSE(error_of([&] { port.set_baud_rate(0); }).empty());
}

TEST(InProcessBoxPort, OpenKeepsWhatWaitsAndCloseDiscardsIt) {
  sim::Options options = quick_options("good");
  options.dream_window = 50ms;
  sim::InProcessBoxPort box(options);
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  box.power_on();
  ASSERT_TRUE(box.wait_for(Stage::banner_sent, 2s));
  EXPECT_EQ(port.bytes_waiting(), banner.size());
  port.open();  // already open: nothing changes
  EXPECT_EQ(port.bytes_waiting(), banner.size());

  port.close();
  port.close();
  // The firmware boots while nobody listens; what it says is lost.
  ASSERT_TRUE(box.wait_for(Stage::firmware_booted, 2s));
  EXPECT_FALSE(box.record().bytes(Chunk::Direction::lost).empty());
  port.open();
  EXPECT_TRUE(read(port, 4096, serial::immediate_profile).empty());
}

TEST(InProcessBoxPort, TheBoxGoesOnWhileNobodyLooks) {
  sim::Options options = quick_options("good");
  options.dream_window = 50ms;
  sim::InProcessBoxPort box(options);
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  box.power_on();
  std::this_thread::sleep_for(600ms);

  const Bytes waiting = read(port, 4096, serial::immediate_profile);
  EXPECT_TRUE(std::equal(banner.begin(), banner.end(), waiting.begin()));
  const std::string text(waiting.begin(), waiting.end());
  EXPECT_TRUE(contains(text, "dm500 login: "));
  // Caught up later, each event still keeps the time it happened at.
  const sim::Record record = box.record();
  EXPECT_LT(*record.first_time(Stage::firmware_booted),
            *record.first_time(Stage::powered_on) + 600ms);
}

TEST(InProcessBoxPort, ACloseFromAnotherThreadEndsAWaitingRead) {
  sim::InProcessBoxPort box(quick_options("silent"));
  serial::Port& port = box;
  open_at(port, serial::boot_baud_rate);
  std::thread closer([&port] {
    std::this_thread::sleep_for(100ms);
    port.close();
  });
  // No timeouts at all: only the close can end it.
  EXPECT_TRUE(contains(error_of([&] { read(port, 4, {0, 0, 0}); }), "ReadFile function failed"));
  closer.join();
}

}  // namespace
