#include "sim/simulated_box.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "tests/unit/sim/box_session.h"
#include "tests/unit/sim/test_image.h"

namespace {

using namespace sim_test;
using sim::Chunk;
using sim::Stage;

TEST(SimulatedBox, AnswersTheBootRomHandshake) {
  BoxSession session;
  EXPECT_EQ(session.power_on_and_read_banner(), banner_form_a);
  EXPECT_EQ(session.greet(), greeting_reply);
  EXPECT_EQ(session.start(), bytes_of(start_reply));

  for (Stage stage :
       {Stage::powered_on, Stage::banner_sent, Stage::greeting_answered, Stage::start_answered}) {
    EXPECT_TRUE(session.box.wait_for(stage, reply_wait)) << sim::stage_name(stage);
  }
  const sim::Record record = session.box.record();
  Bytes expected_received = bytes_of("dream");
  expected_received.insert(expected_received.end(), start_command.begin(), start_command.end());
  EXPECT_EQ(record.bytes(Chunk::Direction::received), expected_received);
}

TEST(SimulatedBox, TakesTheRomCommandsByteByByteAmidNoise) {
  BoxSession session;
  ASSERT_EQ(session.power_on_and_read_banner(), banner_form_a);
  Bytes burst = bytes_of("\r\rdrea");  // a false start
  for (const Bytes& part : {bytes_of("dream"), start_command}) {
    burst.insert(burst.end(), part.begin(), part.end());
  }
  session.client.write(burst);
  EXPECT_EQ(session.client.read(4, reply_wait), greeting_reply);
  EXPECT_EQ(session.client.read(start_reply.size(), reply_wait), bytes_of(start_reply));
  ASSERT_TRUE(session.box.wait_for(Stage::start_answered, reply_wait));
  const auto notes = session.box.record().notes;
  EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const sim::Note& n) {
    return n.text == "ignored 6 bytes before \"dream\"";
  }));
}

TEST(SimulatedBox, SendsBannerFormBWhenAsked) {
  sim::Options options = quick_options();
  options.banner_form = 'B';
  BoxSession session(options);
  Bytes expected = banner_form_a;
  expected[0] = 0xF0;
  EXPECT_EQ(session.power_on_and_read_banner(), expected);
}

TEST(SimulatedBox, RejectsUnknownScenarioAndForm) {
  sim::Options bad_scenario = quick_options("no-such-scenario");
  EXPECT_THROW(sim::SimulatedBox{bad_scenario}, std::invalid_argument);
  sim::Options bad_form = quick_options();
  bad_form.banner_form = 'C';
  EXPECT_THROW(sim::SimulatedBox{bad_form}, std::invalid_argument);
}

TEST(SimulatedBox, RunsAValidImageAndAnswersBothFrames) {
  BoxSession session;
  ASSERT_NO_FATAL_FAILURE(session.reach_loader());

  const std::string speed_reply = "setting baudrate to 115200...\r\n";
  EXPECT_EQ(text_of(session.exchange(speed_frame, speed_reply.size())), speed_reply);
  EXPECT_EQ(text_of(session.exchange(status_frame, status_reply.size())), status_reply);

  const sim::Record record = session.box.record();
  EXPECT_EQ(record.image, valid_image(session.options.image_size));
  ASSERT_EQ(record.frames.size(), 2u);
  EXPECT_TRUE(record.frames[0].valid);
  EXPECT_EQ(record.frames[0].command, 0x01);
  EXPECT_EQ(record.frames[0].payload, Bytes(speed_frame.begin() + 5, speed_frame.end() - 1));
  EXPECT_TRUE(record.frames[1].valid);
  EXPECT_EQ(record.frames[1].command, 0x04);
  EXPECT_TRUE(session.box.wait_for(Stage::speed_answered, reply_wait));
  EXPECT_TRUE(session.box.wait_for(Stage::status_answered, reply_wait));
}

TEST(SimulatedBox, LoaderAnswersOnlySoundFrames) {
  struct Case {
    const char* name;
    Bytes sent;
    std::string reply;  // empty: no answer at all
    std::size_t bad_frames;
  };
  const std::vector<Case> cases = {
      {"bad check byte", {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0A}, "", 1},
      {"length too small", {0x44, 0x4D, 0x00, 0x02, 0x04, 0x01, 0x0B}, "", 1},
      {"unknown command", {0x44, 0x4D, 0x00, 0x06, 0x07, 0x08}, "", 0},
      {"speed 57600",
       {0x44, 0x4D, 0x00, 0x0A, 0x01, 0x00, 0x00, 0xE1, 0x00, 0xE3},
       "setting baudrate to 57600...\r\n",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxSession session;
    ASSERT_NO_FATAL_FAILURE(session.reach_loader());
    session.client.write(c.sent);
    if (c.reply.empty()) {
      EXPECT_TRUE(session.client.read(1, silence_wait).empty());
    } else {
      EXPECT_EQ(text_of(session.client.read(c.reply.size(), reply_wait)), c.reply);
    }
    // The loader picks up again at the next frame.
    EXPECT_EQ(text_of(session.exchange(status_frame, status_reply.size())), status_reply);

    const sim::Record record = session.box.record();
    const auto bad = std::count_if(record.frames.begin(), record.frames.end(),
                                   [](const sim::DecodedFrame& f) { return !f.valid; });
    EXPECT_EQ(static_cast<std::size_t>(bad), c.bad_frames);
  }
}

TEST(SimulatedBox, AnUnsoundImageLeavesTheBoxSilent) {
  struct Case {
    const char* name;
    void (*spoil)(Bytes&);
  };
  const Case cases[] = {
      {"bad CRC", [](Bytes& image) { image[100] ^= 0x5A; }},
      {"bad magic",
       [](Bytes& image) {
         image[0] = 0x7F;
         seal_image(image);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxSession session;
    ASSERT_EQ(session.power_on_and_read_banner(), banner_form_a);
    ASSERT_EQ(session.greet(), greeting_reply);
    ASSERT_EQ(session.start(), bytes_of(start_reply));
    Bytes image = valid_image(session.options.image_size);
    c.spoil(image);
    ASSERT_TRUE(session.upload(image));

    EXPECT_TRUE(session.box.wait_for(Stage::image_invalid, reply_wait));
    session.client.write(speed_frame);
    session.client.write(status_frame);
    EXPECT_TRUE(session.client.read(1, silence_wait).empty());
    const sim::Record record = session.box.record();
    EXPECT_FALSE(record.reached(Stage::loader_running));
    EXPECT_EQ(record.image, image);
  }
}

TEST(SimulatedBox, SwitchesOnWhenThePortOpensAtTheBootSpeed) {
  struct Case {
    const char* name;
    std::uint32_t baud;
    SpeedCall call;
    bool switches_on;
  };
  const Case cases[] = {
      {"115200 by cfsetspeed", 115200, SpeedCall::classic, true},
      {"115200 by custom speed", 115200, SpeedCall::custom, true},
      {"9600 port scan", 9600, SpeedCall::classic, false},
      {"57600", 57600, SpeedCall::custom, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Options options = quick_options();
    options.power_on_delay = milliseconds(30);
    sim::SimulatedBox box(options);
    PtyClient client(box.slave_path(), c.baud, c.call);
    if (c.switches_on) {
      EXPECT_EQ(client.read(banner_form_a.size(), reply_wait), banner_form_a);
    } else {
      EXPECT_FALSE(box.wait_for(Stage::powered_on, silence_wait));
      EXPECT_TRUE(client.read(1, milliseconds(10)).empty());
    }
  }
}

TEST(SimulatedBox, AScanAtTheSlowSpeedThenABootCheckSwitchesItOn) {
  sim::Options options = quick_options();
  options.power_on_delay = milliseconds(30);
  sim::SimulatedBox box(options);
  {
    PtyClient scan(box.slave_path(), 9600);
    EXPECT_FALSE(box.wait_for(Stage::powered_on, milliseconds(150)));
  }
  PtyClient boot_check(box.slave_path(), 115200);
  EXPECT_EQ(boot_check.read(banner_form_a.size(), reply_wait), banner_form_a);
}

TEST(SimulatedBox, BootsItsFirmwareWithoutAGreetingAndAnswersReturns) {
  sim::Options options = quick_options();
  options.dream_window = milliseconds(100);
  BoxSession session(options);
  ASSERT_EQ(session.power_on_and_read_banner(), banner_form_a);

  // Test Mode's peer: five returns, read up to 60, one return, read up to 40.
  session.client.write("\r\r\r\r\r");
  const Bytes first = session.client.read(60, reply_wait);
  EXPECT_EQ(first.size(), 60u);
  session.client.write("\r");
  EXPECT_EQ(session.client.read(40, reply_wait).size(), 40u);

  ASSERT_TRUE(session.box.wait_for(Stage::firmware_booted, reply_wait));
  session.client.read_until_quiet(milliseconds(100));
  session.client.write("\r");
  EXPECT_TRUE(contains(session.client.read_until_quiet(milliseconds(100)), "login: "));
  EXPECT_FALSE(session.box.record().reached(Stage::greeting_answered));
}

TEST(SimulatedBox, KeepsItsStateWhileThePortIsClosedButWhatItSaysIsLost) {
  sim::Options options = quick_options();
  options.dream_window = milliseconds(50);
  options.console_interval = milliseconds(50);
  sim::SimulatedBox box(options);
  std::optional<PtyClient> client;
  client.emplace(box.slave_path());
  box.power_on();
  ASSERT_TRUE(box.wait_for(Stage::firmware_booted, reply_wait));
  client.reset();

  // The console goes on printing into the closed port.
  std::this_thread::sleep_for(milliseconds(200));
  const sim::Record while_closed = box.record();
  EXPECT_FALSE(while_closed.bytes(Chunk::Direction::lost).empty());

  client.emplace(box.slave_path());
  client->write("\r");
  EXPECT_TRUE(client->read_until("login: ", reply_wait));
  const sim::Record after = box.record();
  EXPECT_EQ(std::count_if(after.stages.begin(), after.stages.end(),
                          [](const sim::StageReached& s) { return s.stage == Stage::banner_sent; }),
            1);
}

TEST(SimulatedBox, PowerOffSilencesItAndPowerOnBootsAgain) {
  BoxSession session;
  ASSERT_EQ(session.power_on_and_read_banner(), banner_form_a);
  session.box.power_off();
  ASSERT_TRUE(session.box.wait_for(Stage::powered_off, reply_wait));
  session.client.write("dream");
  EXPECT_TRUE(session.client.read(1, silence_wait).empty());
  EXPECT_EQ(session.power_on_and_read_banner(), banner_form_a);
}

int open_fd_count() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

TEST(SimulatedBox, StopsCleanlyWhileTheToolStillHoldsThePort) {
  const int fds_before = open_fd_count();
  std::optional<PtyClient> client;
  std::string path;
  {
    sim::SimulatedBox box(quick_options());
    path = box.slave_path();
    client.emplace(path);
    box.power_on();
    ASSERT_EQ(client->read(banner_form_a.size(), reply_wait), banner_form_a);
  }
  EXPECT_TRUE(client->line_gone(reply_wait));
  client.reset();
  struct stat info {};
  EXPECT_NE(stat(path.c_str(), &info), 0) << path << " outlived its box";
  EXPECT_EQ(open_fd_count(), fds_before);
}

}  // namespace
