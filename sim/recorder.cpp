#include "sim/recorder.h"

#include <cstdio>

namespace sim {
namespace {

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::string_view direction_name(Chunk::Direction direction) {
  switch (direction) {
    case Chunk::Direction::received:
      return "box <- tool";
    case Chunk::Direction::sent:
      return "box -> tool";
    case Chunk::Direction::lost:
      return "box -> (port closed)";
  }
  return "?";
}

}  // namespace

Recorder::Recorder(SteadyTime origin, Trace trace)
    : origin_(origin), now_(origin), trace_(std::move(trace)) {}

void Recorder::set_time(SteadyTime now) {
  now_ = now;
}

std::chrono::milliseconds Recorder::since_origin() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - origin_);
}

void Recorder::trace(const std::string& line) const {
  if (!trace_) return;
  trace_("[" + std::to_string(since_origin().count()) + " ms] " + line);
}

void Recorder::chunk(Chunk::Direction direction, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    record_.chunks.push_back({direction, since_origin(), Bytes(bytes.begin(), bytes.end())});
  }
  // An image upload would flood the trace with hex; its size says enough.
  if (bytes.size() > 64) {
    trace(std::string(direction_name(direction)) + ": " + std::to_string(bytes.size()) + " bytes");
  } else {
    trace(std::string(direction_name(direction)) + ": " + hex(bytes));
  }
}

void Recorder::stage(Stage stage) {
  {
    std::lock_guard lock(mutex_);
    record_.stages.push_back({stage, since_origin()});
  }
  stage_reached_.notify_all();
  trace("stage: " + std::string(stage_name(stage)));
}

void Recorder::frame(DecodedFrame frame) {
  frame.at = since_origin();
  std::string line = "frame: command " + hex(std::span(&frame.command, 1)) + ", payload [" +
                     hex(frame.payload) + "], " +
                     (frame.valid ? std::string("valid") : "ignored: " + frame.problem);
  {
    std::lock_guard lock(mutex_);
    record_.frames.push_back(std::move(frame));
  }
  trace(line);
}

void Recorder::note(std::string text) {
  trace(text);
  std::lock_guard lock(mutex_);
  record_.notes.push_back({since_origin(), std::move(text)});
}

void Recorder::image_bytes(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  record_.image.insert(record_.image.end(), bytes.begin(), bytes.end());
}

Record Recorder::copy() const {
  std::lock_guard lock(mutex_);
  return record_;
}

bool Recorder::reached(Stage stage) const {
  std::lock_guard lock(mutex_);
  return record_.reached(stage);
}

bool Recorder::wait_for(Stage stage, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return stage_reached_.wait_for(lock, timeout, [&] { return record_.reached(stage); });
}

}  // namespace sim
