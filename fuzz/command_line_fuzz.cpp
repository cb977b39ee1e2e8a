// The front ends' command lines, parsed from arbitrary arguments. No input may throw past
// the parser (the programs call it outside any handler), and what it accepts must be
// something the program can run. Input: a byte whose low bit says whether the build has a
// simulated box (no scenarios: --demo is refused), then the arguments, split at zero bytes.

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "frontend/command_line.h"
#include "fuzz_input.h"

namespace {

using fuzz::require;

const std::vector<std::string> known_scenarios = {"good", "silent", "reply-crlf"};

bool known(const std::string& scenario, const std::vector<std::string>& scenarios) {
  return std::ranges::find(scenarios, scenario) != scenarios.end();
}

void check_cli(const std::vector<std::string>& args, const std::vector<std::string>& scenarios) {
  const auto parsed = frontend::parse_cli_options(args, scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    require(!error->message.empty(), "a usage error says what is wrong");
    return;
  }
  const auto& o = std::get<frontend::CliOptions>(parsed);
  if (o.demo) require(known(o.scenario, scenarios), "a demo runs a known scenario");
  if (o.command != frontend::CliCommand::boot_check) return;
  require(o.mode.has_value(), "a boot check has a mode");
  require(o.demo != !o.port.empty(), "a boot check has a port or the demo, not both");
  for (const auto* file : {&o.log_file, &o.report_file, &o.loader_file})
    require(!*file || !(*file)->empty(), "a file option names a file");
}

void check_window(const std::vector<std::string>& args, const std::vector<std::string>& scenarios) {
  const auto parsed = frontend::parse_window_options(args, scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    require(!error->message.empty(), "a usage error says what is wrong");
    return;
  }
  const auto& o = std::get<frontend::WindowOptions>(parsed);
  if (o.show_help || o.show_version) return;
  if (o.demo_scenario) require(known(*o.demo_scenario, scenarios), "a demo runs a known scenario");
  if (!o.screenshot_dir.empty()) require(o.demo_scenario.has_value(), "a tour is a demo run");
  require(!o.loader_file || !o.loader_file->empty(), "--loader names a file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputReader input(data, size);
  const bool has_simulated_box = (input.byte() & 1) == 0;
  // No bytes: no arguments; else the bytes split at each zero byte.
  std::vector<std::string> args;
  if (!input.empty()) args.emplace_back();
  while (!input.empty()) {
    const std::uint8_t byte = input.byte();
    if (byte == 0)
      args.emplace_back();
    else
      args.back() += static_cast<char>(byte);
  }
  const std::vector<std::string> scenarios =
      has_simulated_box ? known_scenarios : std::vector<std::string>{};
  check_cli(args, scenarios);
  check_window(args, scenarios);
  return 0;
}
