#pragma once
// The simulated box behind --demo. Builds without the simulator (Windows) have no demo:
// there are no scenarios, and the option parser refuses --demo.

#include <memory>
#include <string>
#include <vector>

namespace cli {

class DemoBox {
 public:
  static std::vector<std::string> scenario_names();

  // Starts a simulated box with the given scenario, paced like a real line; it switches
  // itself on shortly after the check opens its port.
  explicit DemoBox(const std::string& scenario);
  ~DemoBox();
  DemoBox(const DemoBox&) = delete;
  DemoBox& operator=(const DemoBox&) = delete;

  const std::string& port_name() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cli
