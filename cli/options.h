#pragma once
// The command line of pellora-cli, parsed into what the program should do.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "boot/panel.h"

namespace cli {

enum class Command { boot_check, list_ports, version, help };

struct Options {
  Command command = Command::boot_check;
  std::string port;  // empty with --demo
  boot::Mode mode = boot::Mode::none;
  std::optional<std::string> log_file;
  bool trace = false;
  bool demo = false;
  std::string scenario = "good";  // with --demo
  friend bool operator==(const Options&, const Options&) = default;
};

// What is wrong with the command line, worded for the user (without the program's name).
struct UsageError {
  std::string message;
  friend bool operator==(const UsageError&, const UsageError&) = default;
};

// demo_scenarios: the simulated box's scenario names; empty when this build has no
// simulated box, which makes --demo an error.
std::variant<Options, UsageError> parse_options(std::span<const std::string_view> args,
                                                std::span<const std::string> demo_scenarios);

// The --help text; it names the demo's scenarios when this build has them.
std::string help_text(std::string_view program, std::span<const std::string> demo_scenarios);

}  // namespace cli
