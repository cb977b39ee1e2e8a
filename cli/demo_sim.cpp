#include "cli/demo.h"
#include "sim/simulated_box.h"

namespace cli {

namespace {

sim::Options demo_options(const std::string& scenario) {
  sim::Options options;
  options.scenario = scenario;
  options.pace = true;  // as slow as a real line, so the demo shows the real timing
  return options;
}

}  // namespace

struct DemoBox::Impl {
  explicit Impl(const std::string& scenario) : box(demo_options(scenario)) {}
  sim::SimulatedBox box;
};

std::vector<std::string> DemoBox::scenario_names() {
  std::vector<std::string> names;
  for (const auto& scenario : sim::scenarios()) names.emplace_back(scenario.name);
  return names;
}

DemoBox::DemoBox(const std::string& scenario) : impl_(std::make_unique<Impl>(scenario)) {}

DemoBox::~DemoBox() = default;

const std::string& DemoBox::port_name() const {
  return impl_->box.slave_path();
}

}  // namespace cli
