#pragma once
// Lets bytes through no faster than a serial line carries them: ten bit times per byte
// (start, eight data, stop). An idle line grants a small burst, never a backlog.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace sim {

class LinePacer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t max_burst = 32;
  // Bytes are moved in pieces of at least this many while the line is busy, so a long
  // transfer wakes the thread once per piece rather than once per byte.
  static constexpr std::size_t min_piece = 16;

  // A disabled pacer lets everything through at once.
  LinePacer(bool enabled, std::uint32_t baud);
  // The port's speed changed: bytes from now on take the new time.
  void set_baud(std::uint32_t baud);

  std::size_t allowance(Clock::time_point now) const;
  void passed(std::size_t count, Clock::time_point now);
  // When count bytes (at most max_burst) may pass.
  Clock::time_point time_for(std::size_t count, Clock::time_point now) const;
  // The size of the next piece for a transfer with this many bytes left.
  static std::size_t piece_for(std::size_t left) { return left < min_piece ? left : min_piece; }
  std::chrono::nanoseconds byte_time() const { return byte_time_; }

 private:
  Clock::time_point earliest_credit(Clock::time_point now) const;

  bool enabled_;
  std::chrono::nanoseconds byte_time_;
  Clock::time_point line_busy_until_{};
};

}  // namespace sim
