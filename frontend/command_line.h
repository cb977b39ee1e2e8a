#pragma once
// The command lines of every front end, parsed with CLI11 into what the program should do.
// Bad input is a UsageError, which each program turns into exit status 2.

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "boot/report.h"

namespace frontend {

// What is wrong with the command line, worded for the user (without the program's name).
struct UsageError {
  std::string message;
  friend bool operator==(const UsageError&, const UsageError&) = default;
};

enum class CliCommand { boot_check, list_ports, version, help };

// pellora-cli.
struct CliOptions {
  CliCommand command = CliCommand::boot_check;
  std::string port;  // empty with --demo
  std::optional<boot::Mode> mode;
  std::optional<std::string> log_file;     // --log FILE
  std::optional<std::string> report_file;  // --report FILE
  std::optional<std::string> loader_file;  // --loader FILE
  bool trace = false;
  bool demo = false;
  std::string scenario = "good";  // with --demo
  friend bool operator==(const CliOptions&, const CliOptions&) = default;
};

// The window (pellora, pellora.exe).
struct WindowOptions {
  bool show_version = false;
  bool show_help = false;
  std::optional<std::string> demo_scenario;  // --demo[=SCENARIO]
  std::string screenshot_dir;                // --screenshot-tour DIR (implies --demo)
  std::optional<std::string> loader_file;    // --loader FILE
  friend bool operator==(const WindowOptions&, const WindowOptions&) = default;
};

// args: the arguments after the program's name. demo_scenarios: the simulated box's
// scenario names; empty when the build has no simulated box, which makes --demo an error.
std::variant<CliOptions, UsageError> parse_cli_options(std::span<const std::string> args,
                                                       std::span<const std::string> demo_scenarios);
std::variant<WindowOptions, UsageError> parse_window_options(
    std::span<const std::string> args, std::span<const std::string> demo_scenarios);

std::string cli_help_text(std::span<const std::string> demo_scenarios);
std::string window_help_text(std::span<const std::string> demo_scenarios);

}  // namespace frontend
