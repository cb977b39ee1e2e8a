// Each fault scenario, driven the way the tool drives a box, showing what sets it apart;
// behind the pseudo-terminal and behind the in-process port alike.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "sim/scenario.h"
#include "sim/simulated_box.h"
#include "tests/unit/sim/box_session.h"
#include "tests/unit/sim/test_image.h"

namespace {

using namespace sim_test;
using sim::Chunk;
using sim::Stage;

bool starts_with(const Bytes& bytes, const Bytes& prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

const std::string speed_reply = "setting baudrate to 115200...\r\n";

using Check = std::function<void(BoxSession&)>;

// The box said nothing more after the stage, and its side of the line went away a moment
// later: long enough after for the tool to have read what came before.
void goes_away_after(BoxSession& s, Stage stage, Stage never_reached) {
  ASSERT_TRUE(s.box.wait_for(stage, reply_wait));
  EXPECT_TRUE(s.client.line_gone(reply_wait));
  const sim::Record record = s.box.record();
  ASSERT_TRUE(record.reached(Stage::unplugged));
  EXPECT_GE(*record.first_time(Stage::unplugged) - *record.first_time(stage), sim::unplug_delay);
  EXPECT_FALSE(record.reached(never_reached)) << sim::stage_name(never_reached);
}

const std::map<std::string, Check>& checks() {
  static const std::map<std::string, Check> table = {
      {"good",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         EXPECT_EQ(text_of(s.exchange(speed_frame, speed_reply.size())), speed_reply);
         EXPECT_EQ(text_of(s.exchange(status_frame, status_reply.size())), status_reply);
       }},
      {"form-b",
       [](BoxSession& s) {
         const Bytes banner = s.power_on_and_read_banner();
         ASSERT_EQ(banner.size(), banner_form_a.size());
         EXPECT_EQ(banner[0], 0xF0);
         EXPECT_TRUE(std::equal(banner.begin() + 1, banner.end(), banner_form_a.begin() + 1));
       }},
      {"silent",
       [](BoxSession& s) {
         s.box.power_on();
         ASSERT_TRUE(s.box.wait_for(Stage::powered_on, reply_wait));
         s.client.write("dream\r");
         EXPECT_TRUE(s.client.read(1, silence_wait).empty());
         EXPECT_FALSE(s.box.record().reached(Stage::banner_sent));
       }},
      {"reply-crlf",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         EXPECT_EQ(s.greet(), Bytes({'o', 'k', 0x0D, 0x0A}));
       }},
      {"reply-extra",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         EXPECT_EQ(s.greet(), greeting_reply);
         // The extra bytes stand in front of the start reply.
         const Bytes after = s.start();
         EXPECT_NE(after, bytes_of(start_reply));
         EXPECT_FALSE(starts_with(after, bytes_of("loading")));
       }},
      {"no-start-reply",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         ASSERT_EQ(s.greet(), greeting_reply);
         s.client.write(start_command);
         EXPECT_TRUE(s.client.read(1, silence_wait).empty());
         EXPECT_FALSE(s.box.record().reached(Stage::start_answered));
       }},
      {"start-reply-lineend",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         ASSERT_EQ(s.greet(), greeting_reply);
         EXPECT_EQ(s.start(), bytes_of(start_reply));
         EXPECT_EQ(s.client.read(2, reply_wait), Bytes({0x0D, 0x0A}));
       }},
      {"bad-speed-reply",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         s.client.write(speed_frame);
         const Bytes reply = s.client.read_until_quiet(milliseconds(100));
         EXPECT_FALSE(reply.empty());
         EXPECT_FALSE(contains(reply, "setting baudrate to 115200"));
         EXPECT_EQ(text_of(s.exchange(status_frame, status_reply.size())), status_reply);
       }},
      {"no-status",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         EXPECT_EQ(text_of(s.exchange(speed_frame, speed_reply.size())), speed_reply);
         s.client.write(status_frame);
         EXPECT_TRUE(s.client.read(1, silence_wait).empty());
         EXPECT_TRUE(s.box.record().frames.back().valid);
       }},
      {"noise-before-banner",
       [](BoxSession& s) {
         s.box.power_on();
         // A 50 ms read takes the glitch alone; the banner follows whole.
         const Bytes noise = s.client.read(banner_form_a.size(), milliseconds(50));
         EXPECT_FALSE(noise.empty());
         EXPECT_FALSE(contains(noise, "Dream"));
         EXPECT_EQ(s.client.read(banner_form_a.size(), reply_wait), banner_form_a);
       }},
      {"split-banner",
       [](BoxSession& s) {
         s.box.power_on();
         // A 50 ms read sees only the first piece, which ends inside "Dream".
         EXPECT_EQ(text_of(s.client.read(banner_form_a.size(), milliseconds(50))),
                   text_of(Bytes(banner_form_a.begin(), banner_form_a.begin() + 5)));
         EXPECT_EQ(s.client.read(13, reply_wait),
                   Bytes(banner_form_a.begin() + 5, banner_form_a.end()));
         ASSERT_TRUE(s.box.wait_for(Stage::banner_sent, reply_wait));
         const auto sent = s.box.record().chunks;
         ASSERT_EQ(sent.size(), 2u);
         EXPECT_GE(sent[1].at - sent[0].at, milliseconds(150));
         // Sent once, not again.
         EXPECT_TRUE(s.client.read(1, silence_wait).empty());
       }},
      {"unplug-during-upload",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         ASSERT_EQ(s.greet(), greeting_reply);
         ASSERT_EQ(s.start(), bytes_of(start_reply));
         s.upload(valid_image(s.options.image_size));  // may fail part-way: the line goes
         ASSERT_TRUE(s.box.wait_for(Stage::unplugged, reply_wait));
         EXPECT_TRUE(s.client.line_gone(reply_wait));
         EXPECT_FALSE(s.client.write(status_frame));
         const sim::Record record = s.box.record();
         EXPECT_GE(record.image.size(), s.options.image_size / 2);
         EXPECT_LT(record.image.size(), s.options.image_size);
         EXPECT_FALSE(record.reached(Stage::image_received));
         if (!s.box.slave_path().empty()) {
           struct stat info {};
           EXPECT_NE(stat(s.box.slave_path().c_str(), &info), 0);
         }
       }},
      {"flood",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         EXPECT_NE(s.greet(), greeting_reply);
         // The reply is there, but only behind a wall of garbage.
         ASSERT_TRUE(s.box.wait_for(Stage::greeting_answered, reply_wait));
         const Bytes rest = s.client.read_until_quiet(milliseconds(100));
         EXPECT_GT(rest.size(), 1000u);
         EXPECT_TRUE(std::equal(greeting_reply.begin(), greeting_reply.end(),
                                rest.end() - static_cast<long>(greeting_reply.size())));
       }},
      {"unplug-before-banner",
       [](BoxSession& s) {
         s.box.power_on();
         goes_away_after(s, Stage::powered_on, Stage::banner_sent);
       }},
      {"unplug-after-banner",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         s.client.write("dream");
         goes_away_after(s, Stage::banner_sent, Stage::greeting_answered);
       }},
      {"unplug-after-greeting",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         ASSERT_EQ(s.greet(), greeting_reply);
         s.client.write(start_command);
         goes_away_after(s, Stage::greeting_answered, Stage::start_answered);
       }},
      {"unplug-after-start-reply",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         ASSERT_EQ(s.greet(), greeting_reply);
         ASSERT_EQ(s.start(), bytes_of(start_reply));
         goes_away_after(s, Stage::start_answered, Stage::image_received);
         EXPECT_FALSE(s.upload(valid_image(s.options.image_size)));
       }},
      {"unplug-after-upload",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         s.client.write(speed_frame);
         goes_away_after(s, Stage::loader_running, Stage::speed_answered);
       }},
      {"unplug-after-speed-reply",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         EXPECT_EQ(text_of(s.exchange(speed_frame, speed_reply.size())), speed_reply);
         s.client.write(status_frame);
         goes_away_after(s, Stage::speed_answered, Stage::status_answered);
       }},
      {"unplug-after-status-reply",
       [](BoxSession& s) {
         ASSERT_NO_FATAL_FAILURE(s.reach_loader());
         EXPECT_EQ(text_of(s.exchange(speed_frame, speed_reply.size())), speed_reply);
         EXPECT_EQ(text_of(s.exchange(status_frame, status_reply.size())), status_reply);
         goes_away_after(s, Stage::status_answered, Stage::powered_off);
       }},
      {"noise",
       [](BoxSession& s) {
         s.box.power_on();
         const std::size_t size = std::size_t{2} << 20;
         const Bytes noise = s.client.read(size, milliseconds(20000));
         EXPECT_EQ(noise.size(), size);
         EXPECT_FALSE(contains(noise, "Dream"));
         EXPECT_TRUE(s.client.read(1, silence_wait).empty());  // and then nothing
         EXPECT_FALSE(s.box.record().reached(Stage::banner_sent));
       }},
      {"slow-ok",
       [](BoxSession& s) {
         ASSERT_EQ(s.power_on_and_read_banner(), banner_form_a);
         s.client.write("dream");
         // The tool's 1.5 s read would come back empty ...
         EXPECT_TRUE(s.client.read(4, milliseconds(1500)).empty());
         // ... the reply comes later.
         EXPECT_EQ(s.client.read(4, milliseconds(3000)), greeting_reply);
       }},
  };
  return table;
}

using ScenarioCase = std::tuple<Transport, std::string>;

class Scenarios : public testing::TestWithParam<ScenarioCase> {};

TEST_P(Scenarios, ShowsItsFault) {
  const auto& [transport, name] = GetParam();
  const auto check = checks().find(name);
  ASSERT_NE(check, checks().end()) << "no check for scenario " << name;
  BoxSession session(quick_options(name), transport);
  check->second(session);
}

std::vector<std::string> scenario_names() {
  std::vector<std::string> names;
  for (const sim::ScenarioInfo& info : sim::scenarios()) names.emplace_back(info.name);
  return names;
}

std::string case_name(const testing::TestParamInfo<ScenarioCase>& info) {
  std::string name =
      std::string(transport_name(std::get<0>(info.param))) + "_" + std::get<1>(info.param);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(EachScenario, Scenarios,
                         testing::Combine(testing::Values(Transport::pty, Transport::in_process),
                                          testing::ValuesIn(scenario_names())),
                         case_name);

TEST(ScenarioTable, EveryRowIsDescribedAndEveryCheckNamesARow) {
  for (const sim::ScenarioInfo& info : sim::scenarios()) {
    EXPECT_FALSE(info.description.empty()) << info.name;
  }
  for (const auto& [name, check] : checks()) {
    EXPECT_TRUE(sim::is_scenario(name)) << name << " is checked but not in the table";
  }
}

}  // namespace
