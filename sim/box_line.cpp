#include "sim/box_line.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace sim {
namespace {

const Scenario& scenario_for(const Options& options) {
  const Scenario* scenario = find_scenario(options.scenario);
  if (!scenario) throw std::invalid_argument("unknown scenario \"" + options.scenario + "\"");
  if (options.banner_form != 'A' && options.banner_form != 'B') {
    throw std::invalid_argument("banner form must be A or B");
  }
  return *scenario;
}

void consider(std::optional<SteadyTime>& earliest, std::optional<SteadyTime> candidate) {
  if (candidate && (!earliest || *candidate < *earliest)) earliest = candidate;
}

}  // namespace

BoxLine::BoxLine(Options options, SteadyTime now)
    : options_(std::move(options)),
      scenario_(scenario_for(options_)),
      time_(now),
      recorder_(now, options_.trace),
      box_(options_, scenario_.tweaks, recorder_),
      receive_pacer_(options_.pace, box_baud_rate),
      send_pacer_(options_.pace, box_baud_rate) {}

void BoxLine::move_to(SteadyTime now) {
  time_ = std::max(time_, now);
  recorder_.set_time(time_);
}

void BoxLine::power_on(SteadyTime now) {
  if (unplugged_) return;
  move_to(now);
  box_.power_on(time_);
  update_auto_power();
}

void BoxLine::power_off(SteadyTime now) {
  if (unplugged_) return;
  move_to(now);
  box_.power_off();
  sending_.reset();
  auto_power_armed_ = false;  // until the tool opens the port again
  update_auto_power();
}

void BoxLine::observe_port(bool open, std::uint32_t baud, SteadyTime now) {
  if (unplugged_) return;
  move_to(now);
  if (open != port_open_) {
    if (open) {
      recorder_.note("port opened at " + std::to_string(baud) + " baud");
      auto_power_armed_ = true;
    } else {
      recorder_.note("port closed");
      delivery_blocked_ = false;
    }
    port_open_ = open;
  }
  if (baud != 0 && baud != port_baud_) {
    receive_pacer_.set_baud(baud);
    send_pacer_.set_baud(baud);
  }
  port_baud_ = baud;
  update_auto_power();
}

// The box switches itself on once the port has stayed open at the boot speed for the
// power-on delay, as if the user flipped the switch after starting the check.
void BoxLine::update_auto_power() {
  const bool may_switch_on = !box_.powered() && auto_power_armed_ &&
                             options_.power_on_delay.count() >= 0 && port_open_ &&
                             port_baud_ == box_baud_rate;
  if (!may_switch_on) {
    boot_speed_since_.reset();
  } else if (!boot_speed_since_) {
    boot_speed_since_ = time_;
  }
}

std::optional<SteadyTime> BoxLine::auto_power_time() const {
  if (!boot_speed_since_) return std::nullopt;
  return *boot_speed_since_ + options_.power_on_delay;
}

std::optional<SteadyTime> BoxLine::next_event() const {
  if (unplugged_) return std::nullopt;
  std::optional<SteadyTime> next;
  consider(next, auto_power_time());
  consider(next, box_.next_timer());
  if (sending_) {
    if (time_ < sending_not_before_) {
      consider(next, sending_not_before_);
    } else if (!delivery_blocked_) {
      const std::size_t left = sending_->bytes.size() - sending_done_;
      consider(next, send_pacer_.time_for(LinePacer::piece_for(left), time_));
    }
  } else if (!box_.outbox().empty()) {
    consider(next, time_);  // a new transmission is waiting to start
  }
  return next;
}

void BoxLine::advance(SteadyTime now, const Deliver& deliver) {
  for (auto due = next_event(); due && *due <= now; due = next_event()) {
    move_to(*due);
    step(deliver);
  }
  move_to(now);
}

void BoxLine::step(const Deliver& deliver) {
  if (const auto power_time = auto_power_time(); power_time && time_ >= *power_time) {
    box_.power_on(time_);
  }
  update_auto_power();
  box_.tick(time_);
  if (box_.wants_unplug()) return unplug();
  transmit(deliver);
}

void BoxLine::transmit(const Deliver& deliver) {
  for (;;) {
    if (!sending_) {
      if (box_.outbox().empty()) return;
      sending_ = std::move(box_.outbox().front());
      box_.outbox().pop_front();
      sending_done_ = 0;
      sending_not_before_ = time_ + sending_->pause_before;
    }
    if (time_ < sending_not_before_ || delivery_blocked_) return;
    const auto rest = std::span(sending_->bytes).subspan(sending_done_);
    const std::size_t allowed = send_pacer_.allowance(time_);
    if (allowed < LinePacer::piece_for(rest.size())) return;

    const auto piece = rest.first(std::min(rest.size(), allowed));
    std::size_t went = piece.size();
    if (port_open_) {
      const std::optional<std::size_t> taken = deliver(piece, time_);
      if (taken && *taken == 0) {
        delivery_blocked_ = true;  // the tool is not reading; wait until it does
        return;
      }
      if (taken) {
        went = std::min(*taken, piece.size());
        recorder_.chunk(Chunk::Direction::sent, piece.first(went));
      } else {
        recorder_.chunk(Chunk::Direction::lost, piece);  // the tool closed just now
      }
    } else {
      // A real line carries the bytes all the same; with the port closed nobody hears them.
      recorder_.chunk(Chunk::Direction::lost, piece);
    }
    send_pacer_.passed(went, time_);
    sending_done_ += went;
    if (sending_done_ < sending_->bytes.size()) continue;

    const std::optional<Stage> stage = sending_->stage_when_sent;
    sending_.reset();
    if (stage) box_.transmitted(*stage, time_);
  }
}

std::size_t BoxLine::receive_allowance(SteadyTime now) const {
  return receive_pacer_.allowance(std::max(now, time_));
}

SteadyTime BoxLine::receive_time_for(std::size_t count, SteadyTime now) const {
  return receive_pacer_.time_for(count, std::max(now, time_));
}

void BoxLine::receive(std::span<const std::uint8_t> bytes, SteadyTime now) {
  if (unplugged_ || bytes.empty()) return;
  move_to(now);
  recorder_.chunk(Chunk::Direction::received, bytes);
  receive_pacer_.passed(bytes.size(), time_);
  box_.received(bytes, time_);
  if (box_.wants_unplug()) unplug();
}

void BoxLine::unplug() {
  recorder_.stage(Stage::unplugged);
  unplugged_ = true;
  port_open_ = false;
  sending_.reset();
  box_.outbox().clear();
  boot_speed_since_.reset();
}

}  // namespace sim
