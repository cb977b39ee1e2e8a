#pragma once
// The box's record, filled on the box's thread and read from any other.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "sim/record.h"

namespace sim {

using SteadyTime = std::chrono::steady_clock::time_point;

class Recorder {
 public:
  using Trace = std::function<void(std::string_view line)>;
  Recorder(SteadyTime origin, Trace trace);

  void chunk(Chunk::Direction direction, std::span<const std::uint8_t> bytes);
  void stage(Stage stage);
  void frame(DecodedFrame frame);
  void note(std::string text);
  void image_bytes(std::span<const std::uint8_t> bytes);

  Record copy() const;
  bool wait_for(Stage stage, std::chrono::milliseconds timeout) const;

 private:
  std::chrono::milliseconds since_origin() const;
  void trace(const std::string& line) const;

  SteadyTime origin_;
  Trace trace_;
  mutable std::mutex mutex_;
  mutable std::condition_variable stage_reached_;
  Record record_;
};

}  // namespace sim
