#include <stdexcept>

#include "cli/demo.h"

namespace cli {

struct DemoBox::Impl {};

std::vector<std::string> DemoBox::scenario_names() {
  return {};
}

// The option parser refuses --demo in this build, so nothing constructs one.
DemoBox::DemoBox(const std::string&) {
  throw std::logic_error("no simulated box in this build");
}

DemoBox::~DemoBox() = default;

const std::string& DemoBox::port_name() const {
  throw std::logic_error("no simulated box in this build");
}

}  // namespace cli
