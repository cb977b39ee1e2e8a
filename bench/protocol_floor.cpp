#include "bench/protocol_floor.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "boot/banner_watch.h"
#include "boot/flash_mode.h"
#include "boot/loader_frames.h"
#include "serial/port.h"

namespace bench {
namespace {

// The line as the tool sees it, in milliseconds since the port opened: what the box has
// sent (each byte's arrival) and the tool's own time.
class LineModel {
 public:
  LineModel(std::uint32_t baud, std::size_t held_bytes)
      : byte_ms_(10'000.0 / baud), held_ms_(static_cast<double>(held_bytes) * byte_ms_) {}

  double now() const { return now_; }
  void wait_until(double time) { now_ = std::max(now_, time); }
  void sleep(std::chrono::milliseconds pause) { now_ += static_cast<double>(pause.count()); }

  // The box sends count bytes back to back from `from`, after what it is still sending.
  void box_sends(std::size_t count, double from) {
    double at = std::max(from, arrivals_.empty() ? from : arrivals_.back());
    for (std::size_t i = 0; i < count; ++i) arrivals_.push_back(at += byte_ms_);
  }
  // The bytes go out after what the tool sent before; returns when the box has the last.
  double tool_writes(std::size_t count) {
    line_free_at_ = std::max(now_, line_free_at_) + static_cast<double>(count) * byte_ms_;
    now_ = std::max(now_, line_free_at_ - held_ms_);
    return line_free_at_;
  }

  void tool_reads(std::size_t count, const serial::ReadTimeouts& timeouts) {
    const double total = now_ + timeouts.ReadTotalConstant +
                         static_cast<double>(count * timeouts.ReadTotalMultiplier);
    std::size_t taken = 0;
    std::optional<double> last;
    while (taken < count && taken < arrivals_.size()) {
      const double at = std::max(arrivals_[taken], now_);
      if (at > total || (last && at > *last + timeouts.ReadInterval)) break;
      last = at;
      ++taken;
    }
    if (taken == count) {
      now_ = *last;
    } else if (!last) {
      now_ = total;
    } else {
      now_ = std::min(total, *last + timeouts.ReadInterval);
    }
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + static_cast<std::ptrdiff_t>(taken));
  }

 private:
  double byte_ms_;
  double held_ms_;  // the line time of what may still be on its way when a write returns
  double now_ = 0;
  double line_free_at_ = 0;  // when the tool's last byte reaches the box
  std::deque<double> arrivals_;
};

}  // namespace

Floor flash_run_floor(const BoxReplies& replies, std::size_t image_size,
                      std::chrono::milliseconds power_on_delay, std::uint32_t baud,
                      std::size_t held_bytes) {
  LineModel line(baud, held_bytes);
  Floor floor;
  double step_start = 0;
  const auto step = [&](std::string what) {
    floor.steps.push_back({std::move(what), line.now() - step_start});
    step_start = line.now();
  };
  const auto dialogue = serial::dialogue_profile;

  // The box switches on power_on_delay after the open; a watch read under way takes the
  // banner as soon as its count is there.
  const double power_on = static_cast<double>(power_on_delay.count());
  line.box_sends(replies.banner, power_on);
  line.wait_until(power_on);
  line.tool_reads(boot::banner_size, serial::watch_profile);
  step("power-on delay and banner");

  line.box_sends(replies.greeting_reply, line.tool_writes(boot::greeting.size()));
  line.tool_reads(boot::greeting_reply.size(), dialogue);
  step("\"dream\" and its reply");

  const double start_command_in = line.tool_writes(boot::start_command.size());
  line.box_sends(replies.start_reply, start_command_in);
  line.box_sends(replies.after_start_reply, start_command_in);
  line.tool_reads(boot::start_reply.size(), dialogue);
  step("start command and its reply");

  line.sleep(boot::rom_prepare_pause);
  step("pause for the boot ROM");
  line.tool_writes(image_size);
  step("upload");
  line.sleep(boot::loader_start_pause);
  line.tool_reads(boot::rom_chatter_read_size, dialogue);
  line.sleep(boot::loader_settle_pause);
  step("pauses and the read after the upload");

  line.box_sends(replies.speed_reply, line.tool_writes(boot::speed_frame().size()));
  line.tool_reads(boot::speed_reply_read_size, dialogue);
  step("speed frame and its reply");

  line.box_sends(replies.status_reply, line.tool_writes(boot::status_frame().size()));
  line.tool_reads(boot::status_reply_read_size, dialogue);
  step("status frame and its reply");

  line.tool_reads(boot::after_success_read_size, dialogue);
  step("the read after success");
  floor.total_ms = line.now();
  return floor;
}

}  // namespace bench
