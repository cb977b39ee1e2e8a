#pragma once
// The dialogue's fixed pauses go through here, so unit tests run without real waits.

#include <chrono>

namespace boot {

class Clock {
 public:
  virtual ~Clock() = default;
  // Blocks the caller; the window processes no messages meanwhile.
  virtual void sleep_for(std::chrono::milliseconds duration) = 0;
};

class SystemClock final : public Clock {
 public:
  void sleep_for(std::chrono::milliseconds duration) override;
};

}  // namespace boot
