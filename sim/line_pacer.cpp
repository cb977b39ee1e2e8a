#include "sim/line_pacer.h"

#include <algorithm>
#include <limits>

namespace sim {

namespace {

std::chrono::nanoseconds ten_bit_times(std::uint32_t baud) {
  return std::chrono::nanoseconds(10'000'000'000LL / std::max<std::uint32_t>(baud, 1));
}

}  // namespace

LinePacer::LinePacer(bool enabled, std::uint32_t baud)
    : enabled_(enabled), byte_time_(ten_bit_times(baud)) {}

void LinePacer::set_baud(std::uint32_t baud) {
  byte_time_ = ten_bit_times(baud);
}

LinePacer::Clock::time_point LinePacer::earliest_credit(Clock::time_point now) const {
  return std::max(line_busy_until_, now - byte_time_ * static_cast<long>(max_burst));
}

std::size_t LinePacer::allowance(Clock::time_point now) const {
  if (!enabled_) return std::numeric_limits<std::size_t>::max();
  const auto credit = now - earliest_credit(now);
  if (credit.count() <= 0) return 0;
  return static_cast<std::size_t>(credit / byte_time_);
}

void LinePacer::passed(std::size_t count, Clock::time_point now) {
  if (!enabled_) return;
  line_busy_until_ = earliest_credit(now) + byte_time_ * static_cast<long>(count);
}

LinePacer::Clock::time_point LinePacer::time_for(std::size_t count, Clock::time_point now) const {
  if (!enabled_) return now;
  return std::max(now, line_busy_until_ + byte_time_ * static_cast<long>(count));
}

}  // namespace sim
