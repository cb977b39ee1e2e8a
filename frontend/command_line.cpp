#include "frontend/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

namespace frontend {
namespace {

std::string joined(std::span<const std::string> names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Option names as a user types them: "--demo[=SCENARIO]" rather than CLI11's "--demo{good}",
// and the program's own usage lines.
class Formatter final : public CLI::Formatter {
 public:
  explicit Formatter(std::string usage) : usage_(std::move(usage)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return usage_; }
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    const auto brace = name.find('{');
    if (brace != std::string::npos) {
      name.replace(brace, name.find('}', brace) - brace + 1, "[=SCENARIO]");
    }
    return name;
  }

 private:
  std::string usage_;
};

std::unique_ptr<CLI::App> new_app(const std::string& description, const std::string& name,
                                  std::string usage) {
  auto app = std::make_unique<CLI::App>(description + "\n", name);
  app->formatter(std::make_shared<Formatter>(std::move(usage)));
  app->get_formatter()->column_width(26);
  // Words that are not options get our own message, below.
  app->allow_extras();
  return app;
}

// --demo takes its scenario only after "=", so "--demo silent" is not read as a scenario.
CLI::Option* add_demo(CLI::App& app, std::string& scenario,
                      std::span<const std::string> scenarios) {
  const std::string help = scenarios.empty()
                               ? "check a simulated box instead (not in this build)"
                               : "check a simulated box instead (scenario: good by default)";
  return app.add_flag("--demo{good}", scenario, help);
}

std::optional<UsageError> check_demo(bool given, const std::string& scenario,
                                     std::span<const std::string> scenarios) {
  if (!given) return std::nullopt;
  if (scenarios.empty()) {
    return UsageError{"--demo is not available in this build (it has no simulated box)"};
  }
  if (std::ranges::find(scenarios, scenario) == scenarios.end()) {
    return UsageError{"unknown scenario '" + scenario +
                      "'; the scenarios are: " + joined(scenarios)};
  }
  return std::nullopt;
}

std::optional<UsageError> check_extras(const CLI::App& app,
                                       std::span<const std::string> scenarios) {
  const std::vector<std::string> extras = app.remaining();
  if (extras.empty()) return std::nullopt;
  const std::string& word = extras.front();
  if (word.starts_with("-")) {
    return UsageError{"unknown option '" + word.substr(0, word.find('=')) + "'"};
  }
  std::string message = "unexpected argument '" + word + "'";
  if (std::ranges::find(scenarios, word) != scenarios.end()) {
    message += " (a scenario goes with an equals sign: --demo=" + word + ")";
  }
  return UsageError{message};
}

// CLI11's own complaints, in the words of this program.
UsageError usage_error_from(const CLI::ParseError& error) {
  std::string message = error.what();
  if (message.find("disallowed flag override") != std::string::npos) {
    const auto name = message.substr(0, message.find(' '));
    return UsageError{"--" + name + " takes no value"};
  }
  const auto missing = message.find(": 1 required");
  if (missing != std::string::npos)
    return UsageError{message.substr(0, missing) + " needs a value"};
  return UsageError{message};
}

// CLI11 would take the next option's name as the value ("--port --mode flash" sets the
// port to "--mode"), and an empty "--port=" the same way; both are a missing value here.
std::optional<UsageError> check_values_given(std::span<const std::string> args,
                                             std::initializer_list<std::string_view> options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    for (const std::string_view name : options) {
      const bool bare = args[i] == name;
      const bool empty =
          args[i].size() == name.size() + 1 && args[i].starts_with(name) && args[i].back() == '=';
      if (empty || (bare && (i + 1 == args.size() || args[i + 1].starts_with("-")))) {
        return UsageError{std::string(name) + " needs a value"};
      }
    }
  }
  return std::nullopt;
}

// An empty value given as its own argument (--port "").
std::optional<UsageError> check_not_empty(const CLI::App& app, const char* name,
                                          const std::string& value) {
  if (app.count(name) > 0 && value.empty()) return UsageError{std::string(name) + " needs a value"};
  return std::nullopt;
}

// CLI11 wants the arguments last first.
std::vector<std::string> reversed(std::span<const std::string> args) {
  return std::vector<std::string>(args.rbegin(), args.rend());
}

constexpr const char* cli_description =
    "Checks over a serial line whether a Dreambox DM500 still boots. Start the check, then\n"
    "switch the box on. Flash Mode uploads the loader and asks it for the flash chip's\n"
    "status; Test Mode wakes the console and shows what the box prints.";

constexpr const char* cli_usage =
    "Usage: pellora-cli --port NAME --mode flash|test [--log FILE] [--report FILE]\n"
    "                   [--loader FILE] [--trace]\n"
    "       pellora-cli --demo[=SCENARIO] --mode flash|test [...]\n"
    "       pellora-cli --list-ports [--demo]\n"
    "       pellora-cli --version | --help\n";

// Breaks text at its spaces into lines of at most width columns, each indented.
std::string wrapped(const std::string& text, std::size_t indent, std::size_t width) {
  std::string lines, line;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
      lines += std::string(indent, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  if (!line.empty()) lines += std::string(indent, ' ') + line + "\n";
  return lines;
}

std::string scenarios_footer(std::span<const std::string> scenarios) {
  if (scenarios.empty()) return {};
  return "demo scenarios:\n" + wrapped(joined(scenarios), 2, 80) + "\n";
}

constexpr const char* cli_footer =
    "The log goes to stdout, one line at a time; errors, hints and what went wrong go to\n"
    "stderr. Press Esc (or Ctrl-C) to abort the wait for the box; Ctrl-C twice ends at once,\n"
    "after writing --log and --report with what the check had so far.\n"
    "\n"
    "exit status:\n"
    "  0    the boot check succeeded\n"
    "  1    the box answered wrongly or not at all\n"
    "  2    the command line is wrong\n"
    "  3    the port could not be opened\n"
    "  4    a read or write failed (device lost)\n"
    "  5    the check succeeded but the log or report file could not be written\n"
    "  130  aborted by the user";

struct CliParser {
  CliOptions options;
  std::unique_ptr<CLI::App> app;
  std::string mode_name;
  std::string log_file, report_file, loader_file;
  bool list_ports = false, version = false;

  explicit CliParser(std::span<const std::string> scenarios)
      : app(new_app(cli_description, "pellora-cli", cli_usage)) {
    app->add_option("--port", options.port, "the serial port the box is on (see --list-ports)")
        ->option_text("NAME");
    app->add_option("--mode", mode_name, "Flash Mode or Test Mode")->option_text("flash|test");
    app->add_option("--log", log_file, "at the end, write the log to FILE (lines end in CR LF)")
        ->option_text("FILE");
    app->add_option("--report", report_file,
                    "at the end, write what happened as one JSON object to FILE")
        ->option_text("FILE");
    app->add_option("--loader", loader_file,
                    "send this loader image instead of the built-in stand-in")
        ->option_text("FILE");
    app->add_flag("--trace", options.trace, "show every byte sent (>) and received (<) on stderr")
        ->disable_flag_override();
    add_demo(*app, options.scenario, scenarios)->disable_flag_override(false);
    app->add_flag("--list-ports", list_ports, "list the serial ports that can be opened")
        ->disable_flag_override();
    app->add_flag("--version", version, "show the version and the loader image in use")
        ->disable_flag_override();
    app->set_help_flag("-h,--help", "show this text");
    app->footer(scenarios_footer(scenarios) + cli_footer);
  }
};

}  // namespace

std::variant<CliOptions, UsageError> parse_cli_options(std::span<const std::string> args,
                                                       std::span<const std::string> scenarios) {
  if (auto error =
          check_values_given(args, {"--port", "--mode", "--log", "--report", "--loader"})) {
    return *error;
  }
  CliParser p(scenarios);
  try {
    p.app->parse(reversed(args));
  } catch (const CLI::CallForHelp&) {
    p.options.command = CliCommand::help;
    return p.options;
  } catch (const CLI::ParseError& error) {
    return usage_error_from(error);
  }
  CliOptions& o = p.options;
  const CLI::App& app = *p.app;
  // --version names the loader image in use, so it keeps --loader.
  if (auto error = check_not_empty(app, "--loader", p.loader_file)) return *error;
  if (app.count("--loader") > 0) o.loader_file = p.loader_file;
  if (p.version) {
    o.command = CliCommand::version;
    return o;
  }
  if (auto error = check_extras(app, scenarios)) return *error;
  o.demo = app.count("--demo") > 0;
  if (auto error = check_demo(o.demo, o.scenario, scenarios)) return *error;
  for (const auto& [name, value] : {std::pair{"--port", &o.port},
                                    {"--mode", &p.mode_name},
                                    {"--log", &p.log_file},
                                    {"--report", &p.report_file}}) {
    if (auto error = check_not_empty(app, name, *value)) return *error;
  }
  if (app.count("--mode") > 0) {
    if (p.mode_name == "flash")
      o.mode = boot::Mode::flash;
    else if (p.mode_name == "test")
      o.mode = boot::Mode::test;
    else
      return UsageError{"unknown mode '" + p.mode_name + "' (use flash or test)"};
  }
  if (app.count("--log") > 0) o.log_file = p.log_file;
  if (app.count("--report") > 0) o.report_file = p.report_file;

  const bool port_given = app.count("--port") > 0;
  if (port_given && o.demo) return UsageError{"--port and --demo cannot be used together"};
  if (p.list_ports) {
    if (port_given || o.mode || o.log_file || o.report_file || o.loader_file) {
      return UsageError{
          "--list-ports cannot be combined with --port, --mode, --log, --report or --loader"};
    }
    o.command = CliCommand::list_ports;
    return o;
  }
  if (!port_given && !o.demo) {
    return UsageError{"no port given: use --port NAME (see --list-ports), or --demo"};
  }
  if (!o.mode) return UsageError{"no mode given: use --mode flash or --mode test"};
  return o;
}

std::string cli_help_text(std::span<const std::string> scenarios) {
  return CliParser(scenarios).app->help();
}

namespace {

struct WindowParser {
  WindowOptions options;
  std::unique_ptr<CLI::App> app;
  std::string scenario, loader_file;

  explicit WindowParser(std::span<const std::string> scenarios)
      : app(new_app("Checks over a serial line whether a DM500 box still boots.", "pellora",
                    "Usage: pellora [--demo[=SCENARIO]] [--loader FILE] [--screenshot-tour DIR]\n"
                    "       pellora --version | --help\n")) {
    add_demo(*app, scenario, scenarios);
    app->add_option("--screenshot-tour", options.screenshot_dir,
                    "click through a demo run and save pictures of it in DIR")
        ->option_text("DIR");
    app->add_option("--loader", loader_file,
                    "send this loader image instead of the built-in stand-in")
        ->option_text("FILE");
    app->add_flag("--version", options.show_version,
                  "print the version and the loader image in use")
        ->disable_flag_override();
    app->set_help_flag("-h,--help", "print this text");
    app->footer(scenarios_footer(scenarios));
  }
};

}  // namespace

std::variant<WindowOptions, UsageError> parse_window_options(
    std::span<const std::string> args, std::span<const std::string> scenarios) {
  if (auto error = check_values_given(args, {"--screenshot-tour", "--loader"})) return *error;
  WindowParser p(scenarios);
  try {
    p.app->parse(reversed(args));
  } catch (const CLI::CallForHelp&) {
    p.options.show_help = true;
    return p.options;
  } catch (const CLI::ParseError& error) {
    return usage_error_from(error);
  }
  WindowOptions& o = p.options;
  const CLI::App& app = *p.app;
  // --version names the loader image in use, so it keeps --loader.
  if (auto error = check_not_empty(app, "--loader", p.loader_file)) return *error;
  if (app.count("--loader") > 0) o.loader_file = p.loader_file;
  if (o.show_version) return o;
  if (auto error = check_extras(app, scenarios)) return *error;
  if (auto error = check_not_empty(app, "--screenshot-tour", o.screenshot_dir)) return *error;
  const bool demo = app.count("--demo") > 0 || !o.screenshot_dir.empty();
  if (demo && p.scenario.empty()) p.scenario = "good";
  if (auto error = check_demo(demo, p.scenario, scenarios)) return *error;
  if (demo) o.demo_scenario = p.scenario;
  return o;
}

std::string window_help_text(std::span<const std::string> scenarios) {
  return WindowParser(scenarios).app->help();
}

}  // namespace frontend
