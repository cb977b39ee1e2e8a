// pellora-cli: the boot check of the window, on a terminal, for benches and scripts.

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boot/boot_check.h"
#include "boot/clock.h"
#include "cli/console.h"
#include "cli/demo.h"
#include "cli/error_noting_port.h"
#include "cli/exit_status.h"
#include "cli/log_file.h"
#include "cli/options.h"
#include "cli/terminal_panel.h"
#include "cli/tracing_port.h"
#include "resources/loader_image.h"
#include "serial/port_scan.h"
#include "serial/serial_port.h"

namespace {

constexpr std::string_view program = "pellora-cli";

void say(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

int usage_error(const std::string& message) {
  say(std::string(program) + ": " + message);
  say("Try '" + std::string(program) + " --help' for more information.");
  return cli::exit_usage;
}

// The "Detect Port" scan: this platform's candidates, plus the demo box if there is one.
std::vector<std::string> scan(serial::Port& port, const cli::DemoBox* demo) {
  auto candidates = serial::port_candidates();
  if (demo != nullptr) candidates.push_back(demo->port_name());
  return serial::scan_ports(port, candidates);
}

std::unique_ptr<cli::DemoBox> start_demo(const cli::Options& options) {
  if (!options.demo) return nullptr;
  return std::make_unique<cli::DemoBox>(options.scenario);
}

int list_ports(const cli::Options& options) {
  const auto demo = start_demo(options);
  serial::SerialPort port;
  for (const auto& name : scan(port, demo.get())) std::printf("%s\n", name.c_str());
  std::fflush(stdout);
  return cli::exit_success;
}

int show_version() {
  std::printf("%s %s\n%s\n", program.data(), PELLORA_VERSION,
              resources::loader_image_description().c_str());
  return cli::exit_success;
}

// The serial error says why (no such device, permission denied and the group that may,
// in use by another program); the dialogue itself logs only "Failed Open Com Port!".
void explain_open_failure(const cli::ErrorNotingPort& port) {
  if (!port.last_error().empty()) say("error: " + port.last_error());
}

int run_check(const cli::Options& options) {
  const auto demo = start_demo(options);
  const std::string port_name = demo ? demo->port_name() : options.port;
  if (demo) {
    say("demo: simulated DM500 on " + port_name + ", scenario " + options.scenario +
        "; it switches itself on");
  }

  serial::SerialPort serial_port;
  cli::ErrorNotingPort noting_port(serial_port);
  std::optional<cli::TracingPort> tracing_port;
  if (options.trace) tracing_port.emplace(noting_port, stderr);
  serial::Port& port = tracing_port ? static_cast<serial::Port&>(*tracing_port)
                                    : static_cast<serial::Port&>(noting_port);

  cli::Console console;
  cli::TerminalPanelSettings settings;
  settings.port = port_name;
  settings.mode = options.mode;
  // Past the wrappers: the scan's own failed candidates must not replace the reason the
  // check's open failed, and its opens are not the check's traffic.
  settings.scan_ports = [&] { return scan(serial_port, demo.get()); };
  settings.esc_pressed = [&] { return console.esc_pressed(); };
  settings.interrupted = [] { return cli::Console::interrupted(); };
  // The trace's lines would tear a bar drawn between them.
  settings.progress_bar = cli::Console::stderr_is_terminal() && !options.trace;
  settings.show_controls = cli::Console::stdout_is_terminal();
  cli::TerminalPanel panel(std::move(settings));

  boot::SystemClock clock;
  const boot::Outcome outcome =
      boot::run_boot_check(panel, port, clock, resources::find_rcdata("dmboot"));
  if (outcome == boot::Outcome::open_failed) explain_open_failure(noting_port);

  cli::ExitStatus status = cli::exit_status_for(outcome);
  if (options.log_file) {
    if (const auto failure = cli::write_log_file(*options.log_file, panel.log_text())) {
      say("error: " + *failure);
      if (status == cli::exit_success) status = cli::exit_log_not_written;
    }
  }
  say(cli::outcome_summary(outcome, options.mode));
  // Where the window would now offer "Save Log".
  if (panel.save_log_visible() && !options.log_file) say("hint: --log FILE saves this log");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto scenarios = cli::DemoBox::scenario_names();
  const auto parsed = cli::parse_options(args, scenarios);
  if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
    return usage_error(error->message);
  }
  const auto& options = std::get<cli::Options>(parsed);

  try {
    switch (options.command) {
      case cli::Command::help:
        std::fputs(cli::help_text(program, scenarios).c_str(), stdout);
        return cli::exit_success;
      case cli::Command::version:
        return show_version();
      case cli::Command::list_ports:
        return list_ports(options);
      case cli::Command::boot_check:
        return run_check(options);
    }
  } catch (const std::exception& error) {
    // A failure outside the dialogue (no pseudo-terminal for the demo box, a failed scan).
    say(std::string(program) + ": " + error.what());
    return cli::exit_device_error;
  }
  return cli::exit_usage;
}
