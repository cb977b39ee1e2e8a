#pragma once
// The box's record, filled by whoever runs the box and read from any thread.

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

  // The line's time, which stamps what is recorded from now on. A line that catches up on
  // what happened while nobody looked (box_line.h) so keeps each event at its own time.
  void set_time(SteadyTime now);

  void chunk(Chunk::Direction direction, std::span<const std::uint8_t> bytes);
  void stage(Stage stage);
  void frame(DecodedFrame frame);
  void note(std::string text);
  void image_bytes(std::span<const std::uint8_t> bytes);

  Record copy() const;
  bool reached(Stage stage) const;
  bool wait_for(Stage stage, std::chrono::milliseconds timeout) const;

 private:
  std::chrono::milliseconds since_origin() const;
  void trace(const std::string& line) const;

  SteadyTime origin_;
  SteadyTime now_;  // only the box's runner sets and reads it
  Trace trace_;
  mutable std::mutex mutex_;
  mutable std::condition_variable stage_reached_;
  Record record_;
};

}  // namespace sim
