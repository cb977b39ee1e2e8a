#pragma once
// The wire between the tool's port and the box, without any I/O of its own: it carries the
// box's transmissions to the tool's end at line speed, hands the tool's bytes to the box,
// and switches the box on when the tool opens its port at the boot speed. A transport around
// it moves the bytes and tells it the time and what the tool did with its port: the
// pseudo-terminal (simulated_box.cpp) or a serial::Port in the same process
// (in_process_box_port.cpp).
//
// Time only moves when the transport says so. advance() runs every event due by then in
// time order, each at its own time, so a transport that looks in late catches up exactly as
// the line would have gone on meanwhile. Not thread-safe: the transport serialises calls.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "sim/box.h"
#include "sim/line_pacer.h"
#include "sim/options.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

namespace sim {

// The box's ROM talks at this speed, and switches on by itself only for a port opened at it.
inline constexpr std::uint32_t box_baud_rate = 115200;

class BoxLine {
 public:
  // Hands a piece of the box's output, arrived at `at`, to the tool's end. Returns how many
  // bytes it took: fewer than offered when its buffer is full (the rest waits for
  // resume_delivery()), or nullopt when the tool's end went away just now (the piece is
  // lost).
  using Deliver =
      std::function<std::optional<std::size_t>(std::span<const std::uint8_t> piece, SteadyTime at)>;

  // Throws std::invalid_argument for an unknown scenario or banner form.
  BoxLine(Options options, SteadyTime now);
  BoxLine(const BoxLine&) = delete;
  BoxLine& operator=(const BoxLine&) = delete;

  const Options& options() const { return options_; }
  std::string_view scenario_name() const { return scenario_.name; }
  Recorder& recorder() { return recorder_; }
  const Recorder& recorder() const { return recorder_; }
  bool box_powered() const { return box_.powered(); }

  void power_on(SteadyTime now);
  // The box goes quiet and forgets where it was; it switches on by itself again only once
  // the tool opens its port anew.
  void power_off(SteadyTime now);

  // What the transport sees of the tool's port: open or not, and its speed (0: unknown).
  // Changes are noted in the record; both directions are paced at this speed.
  void observe_port(bool open, std::uint32_t baud, SteadyTime now);
  bool port_open() const { return port_open_; }

  // Runs everything due by now: the power-on, the box's timers and its transmissions.
  void advance(SteadyTime now, const Deliver& deliver);
  // When advance() next has something to do; nullopt while nothing happens until the tool
  // does something.
  std::optional<SteadyTime> next_event() const;
  // The tool's end has room again after a delivery it could not take whole.
  void resume_delivery() { delivery_blocked_ = false; }
  bool delivery_blocked() const { return delivery_blocked_; }

  // The tool's bytes on their way to the box, paced like the box's own: how many may pass
  // at `now`, when `count` more may (up to LinePacer::max_burst; for more, when the last of
  // them will have passed on a busy line), and handing them over.
  std::size_t receive_allowance(SteadyTime now) const;
  SteadyTime receive_time_for(std::size_t count, SteadyTime now) const;
  void receive(std::span<const std::uint8_t> bytes, SteadyTime now);

  // The box pulled its end of the wire away (an unplug scenario); from then on the line
  // does nothing, and the transport makes the tool's port fail like a lost device.
  bool unplugged() const { return unplugged_; }

 private:
  void move_to(SteadyTime now);
  void update_auto_power();
  std::optional<SteadyTime> auto_power_time() const;
  void step(const Deliver& deliver);
  void transmit(const Deliver& deliver);
  void unplug();

  Options options_;
  const Scenario& scenario_;
  SteadyTime time_;  // the line's own time; never goes back
  Recorder recorder_;
  Box box_;
  LinePacer receive_pacer_;
  LinePacer send_pacer_;

  bool port_open_ = false;
  std::uint32_t port_baud_ = 0;
  bool auto_power_armed_ = true;
  std::optional<SteadyTime> boot_speed_since_;

  std::optional<Transmission> sending_;
  std::size_t sending_done_ = 0;
  SteadyTime sending_not_before_{};
  bool delivery_blocked_ = false;
  bool unplugged_ = false;
};

}  // namespace sim
