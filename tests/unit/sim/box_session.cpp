#include "tests/unit/sim/box_session.h"

#include <gtest/gtest.h>

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

BoxSession::BoxSession(sim::Options opts)
    : options(opts), box(std::move(opts)), client(box.slave_path()) {}

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
