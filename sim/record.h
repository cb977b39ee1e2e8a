#pragma once
// What went over the wire between the tool and the simulated box, and how far the box got.
// Times are milliseconds on the steady clock since the box was created.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

enum class Stage {
  powered_on,
  banner_sent,
  greeting_answered,
  start_answered,
  image_received,  // all bytes of the image arrived (image_valid or image_invalid follows)
  image_valid,
  image_invalid,
  loader_running,
  speed_answered,
  status_answered,
  firmware_booted,
  powered_off,
  unplugged,  // the box side closed its end, like an adapter pulled out
};
std::string_view stage_name(Stage stage);

struct StageReached {
  Stage stage;
  std::chrono::milliseconds at;
};

struct Chunk {
  enum class Direction {
    received,  // from the tool to the box
    sent,      // from the box to the tool
    lost,      // sent while the tool had the port closed: nobody heard it
  };
  Direction direction;
  std::chrono::milliseconds at;
  Bytes bytes;
};

struct DecodedFrame {
  std::uint8_t command = 0;
  Bytes payload;
  bool valid = false;
  std::string problem;  // why the loader ignored it; empty when valid
  std::chrono::milliseconds at{0};
};

// Things worth knowing that are not bytes: the port opening or closing, bytes ignored.
struct Note {
  std::chrono::milliseconds at;
  std::string text;
};

struct Record {
  std::vector<Chunk> chunks;
  std::vector<DecodedFrame> frames;
  std::vector<StageReached> stages;
  std::vector<Note> notes;
  Bytes image;  // the image bytes the boot ROM took in, in order

  bool reached(Stage stage) const;
  std::optional<std::chrono::milliseconds> first_time(Stage stage) const;
  // Every byte of that direction, joined in order.
  Bytes bytes(Chunk::Direction direction) const;
};

}  // namespace sim
