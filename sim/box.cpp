#include "sim/box.h"

#include <algorithm>
#include <string>

#include "sim/image_check.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

const Bytes banner_form_a = {0xE0, 0x0D, 'D', 'r',  'e', 'a', 'm', 'b', 'o',
                             'x',  ' ',  'D', 0x00, 'M', '5', '0', '0', 0x0D};
const Bytes greeting = {'d', 'r', 'e', 'a', 'm'};
const Bytes start_command = {0x47, 0x34, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x24};
constexpr std::string_view start_reply = "loading instr. file";

bool ends_with(const Bytes& heard, const Bytes& pattern) {
  return heard.size() >= pattern.size() &&
         std::equal(pattern.begin(), pattern.end(),
                    heard.end() - static_cast<long>(pattern.size()));
}

// Deterministic line noise, so a failing run can be repeated byte for byte.
Bytes garbage(std::size_t count) {
  Bytes bytes(count);
  std::uint32_t state = 0x2545F491u;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

}  // namespace

Box::Box(const Options& options, const Tweaks& tweaks, Recorder& recorder)
    : options_(options), tweaks_(tweaks), recorder_(recorder) {}

void Box::send(Bytes bytes, milliseconds pause, std::optional<Stage> stage) {
  outbox_.push_back({std::move(bytes), pause, stage});
}

void Box::send_text(std::string_view text, milliseconds pause, std::optional<Stage> stage) {
  send(Bytes(text.begin(), text.end()), pause, stage);
}

void Box::ignore(std::span<const std::uint8_t> bytes, std::string_view why) {
  if (bytes.empty()) return;
  recorder_.note("ignored " + std::to_string(bytes.size()) + " bytes " + std::string(why));
}

void Box::reach(Stage stage, SteadyTime now) {
  recorder_.stage(stage);
  if (tweaks_.unplugs_after != stage) return;
  phase_ = Phase::dead;
  outbox_.clear();
  unplug_at_ = now + unplug_delay;
}

void Box::power_on(SteadyTime now) {
  if (powered()) return;
  phase_ = Phase::sending_banner;
  reach(Stage::powered_on, now);
  if (phase_ == Phase::dead) return;
  if (!tweaks_.greets || tweaks_.noise_instead_of_banner > 0) {
    phase_ = Phase::dead;
    if (tweaks_.noise_instead_of_banner > 0) send(garbage(tweaks_.noise_instead_of_banner));
    return;
  }
  send_banner();
}

void Box::power_off() {
  if (!powered()) return;
  phase_ = Phase::off;
  outbox_.clear();
  heard_.clear();
  ignored_ = 0;
  greeting_deadline_.reset();
  image_taken_ = 0;
  image_.clear();
  frames_ = FrameDecoder{};
  next_idle_line_.reset();
  unplug_at_.reset();
  recorder_.stage(Stage::powered_off);
}

// Power-on: the ROM greets the line with its 18-byte banner.
void Box::send_banner() {
  if (!tweaks_.noise_before_banner.empty()) send(tweaks_.noise_before_banner);
  const milliseconds first_pause = tweaks_.noise_to_banner;
  Bytes banner = banner_form_a;
  if (tweaks_.banner_form.value_or(options_.banner_form) == 'B') banner[0] = 0xF0;
  const std::size_t split = std::min(tweaks_.banner_split_after, banner.size());
  if (split > 0) {
    send(Bytes(banner.begin(), banner.begin() + static_cast<long>(split)), first_pause);
    send(Bytes(banner.begin() + static_cast<long>(split), banner.end()), tweaks_.banner_split_pause,
         Stage::banner_sent);
  } else {
    send(banner, first_pause, Stage::banner_sent);
  }
}

void Box::transmitted(Stage stage, SteadyTime now) {
  if (stage == Stage::banner_sent && phase_ == Phase::sending_banner) {
    // The ROM listens for "dream" for a while, then boots what is in flash.
    phase_ = Phase::awaiting_greeting;
    heard_.clear();
    greeting_deadline_ = now + options_.dream_window;
    if (tweaks_.flood_after_banner > 0) send(garbage(tweaks_.flood_after_banner));
  }
  reach(stage, now);
}

void Box::received(std::span<const std::uint8_t> bytes, SteadyTime now) {
  if (bytes.empty()) return;
  switch (phase_) {
    case Phase::off:
      return ignore(bytes, "while switched off");
    case Phase::sending_banner:
      return ignore(bytes, "before the banner was out");
    case Phase::awaiting_greeting:
      return on_greeting_bytes(bytes, now);
    case Phase::awaiting_start:
      return on_start_bytes(bytes, now);
    case Phase::receiving_image:
      return on_image_bytes(bytes, now);
    case Phase::loader:
      return on_loader_bytes(bytes, now);
    case Phase::firmware:
      return on_console_bytes(bytes);
    case Phase::dead:
      return ignore(bytes, "by a silent box");
  }
}

// Takes bytes one by one until the pattern has arrived; returns how many it took, or
// nullopt if the pattern has not come yet. Only a tail that may still become the pattern
// is kept, so a chattering line cannot make it grow.
std::optional<std::size_t> Box::watch_for(const Bytes& pattern, std::span<const std::uint8_t> bytes,
                                          std::string_view what) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    heard_.push_back(bytes[i]);
    if (ends_with(heard_, pattern)) {
      ignored_ += heard_.size() - pattern.size();
      note_ignored(std::string("before ") + std::string(what));
      heard_.clear();
      return i + 1;
    }
    if (heard_.size() >= pattern.size()) {
      heard_.erase(heard_.begin());
      ++ignored_;
    }
  }
  return std::nullopt;
}

void Box::note_ignored(const std::string& why) {
  if (ignored_ == 0) return;
  recorder_.note("ignored " + std::to_string(ignored_) + " bytes " + why);
  ignored_ = 0;
}

// The ROM answers "dream" with "ok" LF CR; anything else it lets pass.
void Box::on_greeting_bytes(std::span<const std::uint8_t> bytes, SteadyTime now) {
  const auto taken = watch_for(greeting, bytes, "\"dream\"");
  if (!taken) return;
  greeting_deadline_.reset();
  phase_ = Phase::awaiting_start;
  send(tweaks_.greeting_reply, tweaks_.greeting_reply_delay, Stage::greeting_answered);
  if (!tweaks_.after_greeting_reply.empty()) send(tweaks_.after_greeting_reply);
  received(bytes.subspan(*taken), now);
}

// The start command asks the ROM to take an image.
void Box::on_start_bytes(std::span<const std::uint8_t> bytes, SteadyTime now) {
  const auto taken = watch_for(start_command, bytes, "the start command");
  if (!taken) return;
  phase_ = Phase::receiving_image;
  if (tweaks_.answers_start) {
    send_text(start_reply, {}, Stage::start_answered);
    if (!tweaks_.after_start_reply.empty()) send(tweaks_.after_start_reply);
  } else {
    recorder_.note("start command left unanswered");
  }
  received(bytes.subspan(*taken), now);
}

// Exactly image_size bytes, then the ROM checks them and runs them if they are sound.
void Box::on_image_bytes(std::span<const std::uint8_t> bytes, SteadyTime now) {
  std::size_t take = std::min(bytes.size(), options_.image_size - image_taken_);
  // The box that goes away half-way takes nothing after that, however the bytes came.
  const std::size_t half = options_.image_size / 2;
  if (tweaks_.unplugs_during_upload) take = std::min(take, half - std::min(half, image_taken_));
  const auto part = bytes.first(take);
  image_.insert(image_.end(), part.begin(), part.end());
  recorder_.image_bytes(part);
  image_taken_ += take;

  if (tweaks_.unplugs_during_upload && image_taken_ >= half) {
    wants_unplug_ = true;
    return;
  }
  if (image_taken_ < options_.image_size) return;

  recorder_.stage(Stage::image_received);
  const ImageVerdict verdict = check_image(image_);
  if (!verdict.valid) {
    recorder_.note("image rejected: " + verdict.problem);
    recorder_.stage(Stage::image_invalid);
    phase_ = Phase::dead;  // a CPU running garbage says nothing
    ignore(bytes.subspan(take), "after a bad image");
    return;
  }
  recorder_.stage(Stage::image_valid);
  phase_ = Phase::loader;
  reach(Stage::loader_running, now);
  if (take < bytes.size() && phase_ == Phase::loader) on_loader_bytes(bytes.subspan(take), now);
}

void Box::tick(SteadyTime now) {
  if (unplug_at_ && now >= *unplug_at_) {
    unplug_at_.reset();
    wants_unplug_ = true;
    return;
  }
  if (phase_ == Phase::awaiting_greeting && greeting_deadline_ && now >= *greeting_deadline_) {
    boot_firmware(now);
  }
  if (phase_ == Phase::firmware && next_idle_line_ && now >= *next_idle_line_) {
    print_idle_line(now);
  }
  if (phase_ == Phase::loader && frames_.inside_frame() &&
      now >= last_loader_byte_ + frame_gap_limit) {
    give_up_stalled_frame();
  }
}

std::optional<SteadyTime> Box::next_timer() const {
  std::optional<SteadyTime> next;
  auto consider = [&next](std::optional<SteadyTime> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  consider(unplug_at_);
  if (phase_ == Phase::awaiting_greeting) consider(greeting_deadline_);
  if (phase_ == Phase::firmware) consider(next_idle_line_);
  if (phase_ == Phase::loader && frames_.inside_frame()) {
    consider(last_loader_byte_ + frame_gap_limit);
  }
  return next;
}

}  // namespace sim
