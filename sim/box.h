#pragma once
// The box itself, without any I/O: its boot ROM (box.cpp), the loader it runs from an
// upload (box_loader.cpp), and the firmware console it falls back to (box_console.cpp).
// It is told what arrived and what time it is, and leaves what it wants to say in its
// outbox; the line (box_line.cpp) does the rest.

#include <chrono>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/frame_decoder.h"
#include "sim/options.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

namespace sim {

// Bytes to send in one go, after an optional pause, marking a stage once they are out.
struct Transmission {
  Bytes bytes;
  std::chrono::milliseconds pause_before{0};
  std::optional<Stage> stage_when_sent;
};

class Box {
 public:
  Box(const Options& options, const Tweaks& tweaks, Recorder& recorder);

  bool powered() const { return phase_ != Phase::off; }
  void power_on(SteadyTime now);
  void power_off();

  void received(std::span<const std::uint8_t> bytes, SteadyTime now);
  // The transmission that carried this stage has gone out completely.
  void transmitted(Stage stage, SteadyTime now);
  void tick(SteadyTime now);
  std::optional<SteadyTime> next_timer() const;

  std::deque<Transmission>& outbox() { return outbox_; }
  const std::deque<Transmission>& outbox() const { return outbox_; }
  // The box wants its end of the wire gone (the unplug scenario).
  bool wants_unplug() const { return wants_unplug_; }

 private:
  enum class Phase {
    off,
    sending_banner,
    awaiting_greeting,
    awaiting_start,
    receiving_image,
    loader,
    firmware,
    dead,  // silent: a ROM that never greets, or a CPU running a bad image
  };

  void send(Bytes bytes, std::chrono::milliseconds pause = {}, std::optional<Stage> stage = {});
  void send_text(std::string_view text, std::chrono::milliseconds pause = {},
                 std::optional<Stage> stage = {});

  // Records the stage; the box pulled out after it goes quiet and away a moment later.
  void reach(Stage stage, SteadyTime now);
  void send_banner();
  std::optional<std::size_t> watch_for(const Bytes& pattern, std::span<const std::uint8_t> bytes,
                                       std::string_view what);
  void note_ignored(const std::string& why);
  void on_greeting_bytes(std::span<const std::uint8_t> bytes, SteadyTime now);
  void on_start_bytes(std::span<const std::uint8_t> bytes, SteadyTime now);
  void on_image_bytes(std::span<const std::uint8_t> bytes, SteadyTime now);
  void on_loader_bytes(std::span<const std::uint8_t> bytes, SteadyTime now);
  void on_console_bytes(std::span<const std::uint8_t> bytes);
  void answer_frame(const DecodedFrame& frame);
  void give_up_stalled_frame();
  void boot_firmware(SteadyTime now);
  void print_idle_line(SteadyTime now);
  void ignore(std::span<const std::uint8_t> bytes, std::string_view why);

  const Options& options_;
  const Tweaks& tweaks_;
  Recorder& recorder_;

  Phase phase_ = Phase::off;
  std::deque<Transmission> outbox_;
  Bytes heard_;              // the tail that may still become the pattern the ROM waits for
  std::size_t ignored_ = 0;  // bytes let pass meanwhile, noted once the wait ends
  std::optional<SteadyTime> greeting_deadline_;
  std::size_t image_taken_ = 0;
  Bytes image_;
  // A loader gives up on a frame when the line stays quiet this long in the middle of it.
  static constexpr std::chrono::milliseconds frame_gap_limit{200};
  FrameDecoder frames_;
  SteadyTime last_loader_byte_{};
  std::optional<SteadyTime> next_idle_line_;
  std::size_t idle_lines_printed_ = 0;
  std::optional<SteadyTime> unplug_at_;
  bool wants_unplug_ = false;
};

}  // namespace sim
