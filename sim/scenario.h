#pragma once
// How a fault scenario bends the good box. Each scenario is one row of the table in
// scenarios.cpp; a row changes only the fields it names.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

#include "sim/record.h"

namespace sim {

struct Tweaks {
  bool greets = true;                            // false: the box never says a word
  std::optional<char> banner_form{};             // overrides Options::banner_form
  Bytes noise_before_banner{};                   // glitch bytes as the supply comes up
  std::chrono::milliseconds noise_to_banner{0};  // the ROM starts a while after the glitch
  std::size_t banner_split_after = 0;            // 0: the banner goes out in one piece
  std::chrono::milliseconds banner_split_pause{0};
  std::size_t flood_after_banner = 0;  // garbage bytes sent flat out after the banner
  Bytes greeting_reply = {'o', 'k', 0x0A, 0x0D};
  Bytes after_greeting_reply{};
  std::chrono::milliseconds greeting_reply_delay{0};
  bool answers_start = true;
  Bytes after_start_reply{};
  bool speed_reply_has_mark = true;
  bool answers_status = true;
  bool unplugs_during_upload = false;  // after half the image the box side goes away
  // The box goes quiet on reaching this stage, and its side goes away unplug_delay later:
  // an adapter pulled out between two steps of the dialogue.
  std::optional<Stage> unplugs_after{};
  // Instead of its banner the box sends this many bytes of noise, then nothing (a line at
  // the wrong speed that never greets).
  std::size_t noise_instead_of_banner = 0;
};

// Long enough for the tool to have read what the box said just before it went away.
inline constexpr std::chrono::milliseconds unplug_delay{300};

struct Scenario {
  std::string_view name;
  std::string_view description;
  Tweaks tweaks;
};

// nullptr for an unknown name.
const Scenario* find_scenario(std::string_view name);

}  // namespace sim
