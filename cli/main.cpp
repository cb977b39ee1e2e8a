// pellora-cli: the boot check of the window, on a terminal, for benches and scripts.

#include <chrono>
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
#include "cli/exit_status.h"
#include "cli/terminal_panel.h"
#include "cli/traffic_trace.h"
#include "frontend/command_line.h"
#include "frontend/diagnosis.h"
#include "frontend/file_write.h"
#include "frontend/loader_choice.h"
#include "frontend/port_list.h"
#include "frontend/program.h"
#include "frontend/report_json.h"
#include "frontend/standard_streams.h"
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

std::unique_ptr<cli::DemoBox> start_demo(const frontend::CliOptions& options) {
  if (!options.demo) return nullptr;
  return std::make_unique<cli::DemoBox>(options.scenario);
}

std::vector<std::string> demo_port_names(const cli::DemoBox* demo) {
  if (demo == nullptr) return {};
  return {demo->port_name()};
}

// One port a line: the name, then a tab and what the system knows of it, so that
// `cut -f1` gives the names alone.
int list_ports(const frontend::CliOptions& options) {
  const auto demo = start_demo(options);
  serial::SerialPort port;
  for (const auto& entry : frontend::scan_port_list(port, demo_port_names(demo.get()))) {
    std::printf("%s%s%s\n", entry.name.c_str(), entry.description.empty() ? "" : "\t",
                entry.description.c_str());
  }
  std::fflush(stdout);
  return cli::exit_success;
}

// The built-in image, or the --loader file read whole and checked; nothing after saying why
// the file cannot be used. What does not look right about it is said, and it is sent anyway.
std::optional<frontend::LoaderChoice> choose_loader(const frontend::CliOptions& options) {
  frontend::LoaderChoice choice;
  if (!options.loader_file) return choice;
  auto loaded = frontend::load_loader_file(*options.loader_file);
  if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
    say(std::string(program) + ": " + frontend::refusal_text(*refusal));
    return std::nullopt;
  }
  choice.file = std::get<frontend::LoaderFile>(std::move(loaded));
  if (const std::string warning = frontend::loader_warning_text(*choice.file); !warning.empty()) {
    say("warning: " + warning);
  }
  return choice;
}

// Writes text to path the way "Save Log" writes a file; false after saying why.
bool write_output_file(const std::string& path, std::string_view text, std::string_view what) {
  const auto failure = frontend::write_file(path, text);
  if (!failure) return true;
  say("error: cannot write the " + std::string(what) + " to \"" + path + "\": " + *failure);
  return false;
}

// When the check began, for the report.
struct CheckStart {
  std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
  std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
};

// Writes --log and --report, if asked for; returns the status the program ends with: a
// success whose files could not be written becomes exit_log_not_written.
cli::ExitStatus write_output_files(const frontend::CliOptions& options, const CheckStart& start,
                                   const boot::Report& report, const std::string& log_text,
                                   cli::ExitStatus status) {
  if (options.log_file && !write_output_file(*options.log_file, log_text, "log") &&
      status == cli::exit_success) {
    status = cli::exit_log_not_written;
  }
  if (options.report_file) {
    frontend::ReportContext context;
    context.tool = program;
    context.version = PELLORA_VERSION;
    context.exit_status = status;
    context.log_text = log_text;
    context.started_at = start.wall;
    context.duration = std::chrono::steady_clock::now() - start.steady;
    // The status the program will end with, a report that cannot be written included.
    const std::string json = frontend::report_json(report, context);
    if (!write_output_file(*options.report_file, json, "report") && status == cli::exit_success) {
      status = cli::exit_log_not_written;
    }
  }
  return status;
}

int run_check(const frontend::CliOptions& options) {
  // Read as the check starts, before the port (or the demo box) is touched.
  const std::optional<frontend::LoaderChoice> loader = choose_loader(options);
  if (!loader) return cli::exit_usage;
  const CheckStart start;
  const auto demo = start_demo(options);
  const std::string port_name = demo ? demo->port_name() : options.port;
  if (demo) {
    say("demo: simulated DM500 on " + port_name + ", scenario " + options.scenario +
        "; it switches itself on");
  }

  serial::SerialPort port;
  std::optional<cli::TrafficTrace> trace;
  if (options.trace) {
    trace.emplace(stderr);
    port.set_traffic_observer(&*trace);
  }

  cli::Console console;
  cli::TerminalPanelSettings settings;
  // The "Detect Port" list the window would drop down after a failed open.
  settings.scan_ports = [&] {
    std::vector<std::string> names;
    // Names alone: the panel lists no descriptions.
    for (auto& entry : frontend::scan_port_list(port, demo_port_names(demo.get()),
                                                serial::port_candidates(), nullptr)) {
      names.push_back(std::move(entry.name));
    }
    return names;
  };
  settings.esc_pressed = [&] { return console.esc_pressed(); };
  settings.interrupted = [] { return cli::Console::interrupted(); };
  // The trace's lines would tear a bar drawn between them.
  settings.progress_bar = cli::Console::stderr_is_terminal() && !options.trace;
  settings.show_controls = cli::Console::stdout_is_terminal();
  cli::TerminalPanel panel(std::move(settings));

  // A second Ctrl-C ends the program at once, wherever the check is (a stalled read, a
  // device that hangs): the log and the report so far are written all the same.
  console.set_last_words([&options, start, so_far = panel.check_so_far()] {
    boot::Report report = so_far->report();
    report.outcome = boot::Outcome::aborted;
    write_output_files(options, start, report, so_far->log_text(), cli::exit_aborted);
    say(frontend::outcome_summary(report));
  });

  if (*options.mode == boot::Mode::flash && loader->sends_stand_in() && !demo) {
    panel.say("note: " + frontend::stand_in_notice());
  }

  boot::SystemClock clock;
  const boot::Report report =
      boot::run_boot_check(panel, port, clock, {port_name, *options.mode, loader->image()});

  // Written once: a second Ctrl-C from here on only ends the program.
  console.set_last_words({});
  const cli::ExitStatus status = write_output_files(options, start, report, panel.log_text(),
                                                    cli::exit_status_for(report.outcome));
  // Where it happened, in the system's words; then what it means.
  if (!report.error.empty()) panel.say("error: " + report.error);
  panel.say(frontend::outcome_summary(report));
  panel.say(frontend::diagnosis(report));
  // Where the window would now offer "Save Log".
  if (panel.save_log_visible() && !options.log_file) panel.say("hint: --log FILE saves this log");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (!frontend::fill_closed_standard_streams()) return cli::exit_device_error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto scenarios = cli::DemoBox::scenario_names();
  const auto parsed = frontend::parse_cli_options(args, scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    return usage_error(error->message);
  }
  const auto& options = std::get<frontend::CliOptions>(parsed);

  try {
    switch (options.command) {
      case frontend::CliCommand::help:
        std::fputs(frontend::cli_help_text(scenarios).c_str(), stdout);
        return cli::exit_success;
      case frontend::CliCommand::version: {
        const auto loader = choose_loader(options);
        if (!loader) return cli::exit_usage;
        std::printf("%s\n", frontend::version_text(program, loader->description()).c_str());
        return cli::exit_success;
      }
      case frontend::CliCommand::list_ports:
        return list_ports(options);
      case frontend::CliCommand::boot_check:
        return run_check(options);
    }
  } catch (const std::exception& error) {
    // A failure outside the dialogue (no pseudo-terminal for the demo box, a failed scan).
    say(std::string(program) + ": " + error.what());
    return cli::exit_device_error;
  }
  return cli::exit_usage;
}
