#include "sim/sim_command_line.h"

#include <algorithm>
#include <charconv>

namespace sim {
namespace {

constexpr long max_power_on_delay_ms = 3'600'000;

long parse_milliseconds(const std::string& option, const std::string& text) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < 0 ||
      value > max_power_on_delay_ms) {
    throw UsageError(option + " wants milliseconds from 0 to " +
                     std::to_string(max_power_on_delay_ms) + ", not \"" + text + "\"");
  }
  return value;
}

}  // namespace

std::string usage_text() {
  return "usage: dm500-sim --link PATH [--scenario NAME] [--form A|B] [--no-pace]\n"
         "                 [--power-on-delay MS] [--trace]\n"
         "       dm500-sim --list-scenarios\n"
         "       dm500-sim --help\n"
         "\n"
         "A simulated DM500 set-top box on a pseudo-terminal. PATH becomes a symbolic link to\n"
         "the terminal; open it at 115200 baud and the box switches on after the power-on\n"
         "delay (default 800 ms). The box runs until SIGINT or SIGTERM; SIGUSR1 switches it\n"
         "on at once, SIGUSR2 switches it off.\n"
         "\n"
         "  --link PATH          where to put the link to the box's terminal\n"
         "  --scenario NAME      a fault to show (see --list-scenarios; default good)\n"
         "  --form A|B           the banner's first byte: E0 (A, default) or F0 (B)\n"
         "  --no-pace            do not hold the bytes to the speed of a 115200 baud line\n"
         "  --power-on-delay MS  how long after the port opens at 115200 the box switches on\n"
         "  --trace              print every byte, stage and frame on stderr as it happens\n"
         "  --list-scenarios     print the scenarios with a line about each\n";
}

std::string scenario_list_text() {
  std::size_t width = 0;
  for (const ScenarioInfo& s : scenarios()) width = std::max(width, s.name.size());
  std::string text;
  for (const ScenarioInfo& s : scenarios()) {
    text += std::string(s.name) + std::string(width - s.name.size() + 2, ' ') +
            std::string(s.description) + "\n";
  }
  return text;
}

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine line;
  bool form_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::help;
    } else if (arg == "--list-scenarios") {
      line.action = CommandLine::Action::list_scenarios;
    } else if (arg == "--link") {
      line.link = value();
      if (line.link.empty()) throw UsageError("--link needs a path");
    } else if (arg == "--scenario") {
      const std::string& name = value();
      if (!is_scenario(name)) {
        throw UsageError("unknown scenario \"" + name + "\" (see --list-scenarios)");
      }
      line.options.scenario = name;
    } else if (arg == "--form") {
      const std::string& form = value();
      if (form != "A" && form != "B") throw UsageError("--form wants A or B, not \"" + form + "\"");
      line.options.banner_form = form[0];
      form_given = true;
    } else if (arg == "--no-pace") {
      line.options.pace = false;
    } else if (arg == "--power-on-delay") {
      line.options.power_on_delay = std::chrono::milliseconds(parse_milliseconds(arg, value()));
    } else if (arg == "--trace") {
      line.trace = true;
    } else {
      throw UsageError("unknown option \"" + arg + "\"");
    }
  }
  if (line.action == CommandLine::Action::serve && line.link.empty()) {
    throw UsageError("--link PATH is required");
  }
  if (form_given && line.options.scenario == "form-b" && line.options.banner_form != 'B') {
    throw UsageError("the form-b scenario always sends form B");
  }
  return line;
}

}  // namespace sim
