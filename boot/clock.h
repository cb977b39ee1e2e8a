#pragma once
// The dialogue's fixed pauses and the banner watch's sense of time go through here, so unit
// tests run a whole check without real waits.

#include <chrono>
#include <thread>

namespace boot {

class Clock {
 public:
  using time_point = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual time_point now() const = 0;
  // Blocks the caller; the window processes no messages meanwhile.
  virtual void sleep_for(std::chrono::milliseconds duration) = 0;
};

class SystemClock final : public Clock {
 public:
  time_point now() const override { return std::chrono::steady_clock::now(); }
  void sleep_for(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
  }
};

}  // namespace boot
