#pragma once
// dm500-sim's command line.

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/simulated_box.h"

namespace sim {

struct CommandLine {
  enum class Action { serve, list_scenarios, help };
  Action action = Action::serve;
  Options options;
  std::string link;
  bool trace = false;
};

// A command line that makes no sense; the message says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

CommandLine parse_command_line(const std::vector<std::string>& args);
std::string usage_text();
std::string scenario_list_text();

}  // namespace sim
