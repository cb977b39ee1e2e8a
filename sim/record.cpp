#include "sim/record.h"

#include <algorithm>

namespace sim {

std::string_view stage_name(Stage stage) {
  switch (stage) {
    case Stage::powered_on:
      return "powered on";
    case Stage::banner_sent:
      return "banner sent";
    case Stage::greeting_answered:
      return "greeting answered";
    case Stage::start_answered:
      return "start answered";
    case Stage::image_received:
      return "image received";
    case Stage::image_valid:
      return "image valid";
    case Stage::image_invalid:
      return "image invalid";
    case Stage::loader_running:
      return "loader running";
    case Stage::speed_answered:
      return "speed answered";
    case Stage::status_answered:
      return "status answered";
    case Stage::firmware_booted:
      return "firmware booted";
    case Stage::powered_off:
      return "powered off";
    case Stage::unplugged:
      return "unplugged";
  }
  return "unknown stage";
}

bool Record::reached(Stage stage) const {
  return first_time(stage).has_value();
}

std::optional<std::chrono::milliseconds> Record::first_time(Stage stage) const {
  auto it = std::find_if(stages.begin(), stages.end(),
                         [stage](const StageReached& s) { return s.stage == stage; });
  if (it == stages.end()) return std::nullopt;
  return it->at;
}

Bytes Record::bytes(Chunk::Direction direction) const {
  Bytes all;
  for (const Chunk& chunk : chunks) {
    if (chunk.direction == direction) all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
  }
  return all;
}

}  // namespace sim
