#include <algorithm>
#include <vector>

#include "sim/options.h"
#include "sim/scenario.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

// The one table of scenarios.
const std::vector<Scenario>& table() {
  static const std::vector<Scenario> rows = {
      {"good", "a healthy box: banner, handshake, upload, loader answers both frames", {}},
      {"form-b", "the banner starts with F0 instead of E0", {.banner_form = 'B'}},
      {"silent", "the box never says a word", {.greets = false}},
      {"reply-crlf",
       "the greeting is answered with \"ok\" CR LF instead of LF CR",
       {.greeting_reply = {'o', 'k', 0x0D, 0x0A}}},
      {"reply-extra",
       "the greeting reply is followed by extra bytes",
       {.after_greeting_reply = {'?', 0x0D, 0x0A}}},
      {"no-start-reply", "the start command gets no answer", {.answers_start = false}},
      {"start-reply-lineend",
       "the start reply is followed by CR LF",
       {.after_start_reply = {0x0D, 0x0A}}},
      {"bad-speed-reply",
       "the loader answers the speed frame without \"setting baudrate to 115200\"",
       {.speed_reply_has_mark = false}},
      {"no-status", "the loader never answers the status frame", {.answers_status = false}},
      {"noise-before-banner",
       "a few glitch bytes as the supply comes up, the banner 100 ms later",
       {.noise_before_banner = {0x00, 0xFF, 0x80, 0xFE, 0x00},
        .noise_to_banner = milliseconds(100)}},
      {"split-banner",
       "the banner comes in two pieces split after \"Dre\", 200 ms apart",
       {.banner_split_after = 5, .banner_split_pause = milliseconds(200)}},
      {"unplug-before-banner",
       "switched on, the box side goes away before the banner",
       {.unplugs_after = Stage::powered_on}},
      {"unplug-after-banner",
       "the box side goes away after the banner, before the greeting is answered",
       {.unplugs_after = Stage::banner_sent}},
      {"unplug-after-greeting",
       "the box side goes away after \"ok\", before the start command is answered",
       {.unplugs_after = Stage::greeting_answered}},
      {"unplug-after-start-reply",
       "the box side goes away after \"loading instr. file\", before the upload",
       {.unplugs_after = Stage::start_answered}},
      {"unplug-during-upload",
       "the box side goes away after half the image, like an adapter pulled out",
       {.unplugs_during_upload = true}},
      {"unplug-after-upload",
       "the box side goes away once the loader runs, before the speed frame",
       {.unplugs_after = Stage::loader_running}},
      {"unplug-after-speed-reply",
       "the box side goes away after the speed reply, before the status frame is answered",
       {.unplugs_after = Stage::speed_answered}},
      {"unplug-after-status-reply",
       "the box side goes away just after its \"client: ok\" status reply",
       {.unplugs_after = Stage::status_answered}},
      {"flood",
       "garbage at full speed after the banner buries the greeting reply",
       {.flood_after_banner = 4096}},
      {"noise",
       "2 MB of line noise and never a banner, like a line at the wrong speed",
       {.noise_instead_of_banner = std::size_t{2} << 20}},
      {"slow-ok",
       "the greeting reply comes after 2.5 s, later than the tool waits",
       {.greeting_reply_delay = milliseconds(2500)}},
  };
  return rows;
}

}  // namespace

const Scenario* find_scenario(std::string_view name) {
  const auto& rows = table();
  auto it =
      std::find_if(rows.begin(), rows.end(), [&](const Scenario& s) { return s.name == name; });
  return it == rows.end() ? nullptr : &*it;
}

const std::vector<ScenarioInfo>& scenarios() {
  static const std::vector<ScenarioInfo> infos = [] {
    std::vector<ScenarioInfo> list;
    for (const Scenario& row : table()) list.push_back({row.name, row.description});
    return list;
  }();
  return infos;
}

bool is_scenario(std::string_view name) {
  return find_scenario(name) != nullptr;
}

}  // namespace sim
