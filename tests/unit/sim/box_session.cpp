#include "tests/unit/sim/box_session.h"

#include <gtest/gtest.h>

#include "serial/serial_error.h"
#include "tests/unit/sim/test_image.h"

namespace sim_test {

sim::Options quick_options(std::string scenario) {
  sim::Options options;
  options.scenario = std::move(scenario);
  options.pace = false;
  options.power_on_delay = milliseconds(-1);
  options.dream_window = milliseconds(1500);
  options.image_size = 4096;
  options.console_interval = milliseconds(60000);
  return options;
}

std::string_view transport_name(Transport transport) {
  return transport == Transport::pty ? "pty" : "in_process";
}

TestBox::TestBox(const sim::Options& options, Transport transport) {
  if (transport == Transport::pty) {
    pty_ = std::make_unique<sim::SimulatedBox>(options);
  } else {
    port_ = std::make_unique<sim::InProcessBoxPort>(options);
  }
}

void TestBox::power_on() {
  pty_ ? pty_->power_on() : port_->power_on();
}

void TestBox::power_off() {
  pty_ ? pty_->power_off() : port_->power_off();
}

sim::Record TestBox::record() const {
  return pty_ ? pty_->record() : port_->record();
}

bool TestBox::wait_for(sim::Stage stage, milliseconds timeout) const {
  return pty_ ? pty_->wait_for(stage, timeout) : port_->wait_for(stage, timeout);
}

std::string TestBox::slave_path() const {
  return pty_ ? pty_->slave_path() : std::string();
}

ToolEnd::ToolEnd(const TestBox& box) {
  if (box.port()) {
    port_ = box.port();
    port_->set_baud_rate(serial::boot_baud_rate);
    port_->open();
  } else {
    pty_ = std::make_unique<PtyClient>(box.slave_path());
  }
}

bool ToolEnd::write(std::span<const std::uint8_t> bytes) {
  if (pty_) return pty_->write(bytes);
  try {
    port_->write(bytes);
    return true;
  } catch (const serial::SerialError&) {
    return false;
  }
}

bool ToolEnd::write(std::string_view text) {
  return write(bytes_of(text));
}

Bytes ToolEnd::read(std::size_t count, milliseconds timeout) {
  if (pty_) return pty_->read(count, timeout);
  try {
    port_->set_timeouts({0, static_cast<std::uint32_t>(timeout.count()), 0});
    return port_->read(count);
  } catch (const serial::SerialError&) {
    return {};
  }
}

Bytes ToolEnd::read_until_quiet(milliseconds quiet, milliseconds limit) {
  if (pty_) return pty_->read_until_quiet(quiet, limit);
  const auto stop = std::chrono::steady_clock::now() + limit;
  Bytes got;
  while (std::chrono::steady_clock::now() < stop) {
    const Bytes piece = read(4096, quiet);
    if (piece.empty()) break;
    got.insert(got.end(), piece.begin(), piece.end());
  }
  return got;
}

bool ToolEnd::line_gone(milliseconds timeout) {
  if (pty_) return pty_->line_gone(timeout);
  const auto stop = std::chrono::steady_clock::now() + timeout;
  port_->set_timeouts({0, 20, 0});
  while (std::chrono::steady_clock::now() < stop) {
    try {
      port_->read(4096);
    } catch (const serial::SerialError&) {
      return true;
    }
  }
  return false;
}

BoxSession::BoxSession(sim::Options opts, Transport transport)
    : options(opts), box(options, transport), client(box) {}

Bytes BoxSession::power_on_and_read_banner() {
  box.power_on();
  return client.read(banner_form_a.size(), reply_wait);
}

Bytes BoxSession::greet() {
  client.write("dream");
  return client.read(4, reply_wait);
}

Bytes BoxSession::start() {
  client.write(start_command);
  return client.read(start_reply.size(), reply_wait);
}

bool BoxSession::upload(const Bytes& image) {
  return client.write(image);
}

void BoxSession::reach_loader() {
  ASSERT_EQ(power_on_and_read_banner(), banner_form_a);
  ASSERT_EQ(greet(), greeting_reply);
  ASSERT_EQ(start(), bytes_of(start_reply));
  ASSERT_TRUE(upload(valid_image(options.image_size)));
  ASSERT_TRUE(box.wait_for(sim::Stage::loader_running, reply_wait));
}

Bytes BoxSession::exchange(const Bytes& frame, std::size_t reply_size) {
  client.write(frame);
  return client.read(reply_size, reply_wait);
}

}  // namespace sim_test
