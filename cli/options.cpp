#include "cli/options.h"

#include <algorithm>

namespace cli {
namespace {

std::string join(std::span<const std::string> names) {
  std::string text;
  for (const auto& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

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

bool is_option(std::string_view arg) {
  return arg.starts_with("--") || arg == "-h";
}

std::optional<boot::Mode> mode_named(std::string_view name) {
  if (name == "flash") return boot::Mode::flash;
  if (name == "test") return boot::Mode::test;
  return std::nullopt;
}

// Walks the arguments once; each option may carry its value as --name=value or, where it
// needs one, as the next argument. Then checks that the options go together.
class Parser {
 public:
  Parser(std::span<const std::string_view> args, std::span<const std::string> scenarios)
      : args_(args), scenarios_(scenarios) {}

  std::variant<Options, UsageError> run() {
    while (next_ < args_.size()) {
      if (auto error = take(args_[next_++])) return *error;
    }
    return finish();
  }

 private:
  std::optional<UsageError> take(std::string_view arg) {
    if (!is_option(arg)) return unexpected(arg);
    const auto equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::optional<std::string_view> inline_value;
    if (equals != std::string_view::npos) inline_value = arg.substr(equals + 1);

    if (name == "--help" || name == "-h" || name == "--version" || name == "--trace" ||
        name == "--list-ports") {
      if (inline_value) return UsageError{std::string(name) + " takes no value"};
      help_ = help_ || name == "--help" || name == "-h";
      version_ = version_ || name == "--version";
      options_.trace = options_.trace || name == "--trace";
      list_ports_ = list_ports_ || name == "--list-ports";
      return std::nullopt;
    }
    if (name == "--demo") return take_demo(inline_value);
    if (name == "--port" || name == "--mode" || name == "--log") {
      const auto value = take_value(inline_value);
      if (!value) return UsageError{std::string(name) + " needs a value"};
      if (name == "--port") {
        options_.port = std::string(*value);
        port_given_ = true;
      } else if (name == "--log") {
        options_.log_file = std::string(*value);
      } else {
        const auto mode = mode_named(*value);
        if (!mode) {
          return UsageError{"unknown mode '" + std::string(*value) + "' (use flash or test)"};
        }
        options_.mode = *mode;
      }
      return std::nullopt;
    }
    return UsageError{"unknown option '" + std::string(name) + "'"};
  }

  std::optional<UsageError> take_demo(std::optional<std::string_view> scenario) {
    if (scenarios_.empty()) {
      return UsageError{"--demo is not available in this build (it has no simulated box)"};
    }
    options_.demo = true;
    if (!scenario) return std::nullopt;
    if (std::ranges::find(scenarios_, *scenario) == scenarios_.end()) {
      return UsageError{"unknown scenario '" + std::string(*scenario) +
                        "'; the scenarios are: " + join(scenarios_)};
    }
    options_.scenario = std::string(*scenario);
    return std::nullopt;
  }

  std::variant<Options, UsageError> finish() {
    if (help_ || version_) {
      options_.command = help_ ? Command::help : Command::version;
      return options_;
    }
    if (port_given_ && options_.demo) {
      return UsageError{"--port and --demo cannot be used together"};
    }
    const bool mode_given = options_.mode != boot::Mode::none;
    if (list_ports_) {
      if (port_given_ || mode_given || options_.log_file) {
        return UsageError{"--list-ports cannot be combined with --port, --mode or --log"};
      }
      options_.command = Command::list_ports;
      return options_;
    }
    if (!port_given_ && !options_.demo) {
      return UsageError{"no port given: use --port NAME (see --list-ports), or --demo"};
    }
    if (!mode_given) return UsageError{"no mode given: use --mode flash or --mode test"};
    return options_;
  }

  std::optional<std::string_view> take_value(std::optional<std::string_view> inline_value) {
    if (inline_value) {
      if (inline_value->empty()) return std::nullopt;
      return inline_value;
    }
    if (next_ >= args_.size() || is_option(args_[next_])) return std::nullopt;
    return args_[next_++];
  }

  UsageError unexpected(std::string_view arg) const {
    std::string message = "unexpected argument '" + std::string(arg) + "'";
    if (std::ranges::find(scenarios_, arg) != scenarios_.end()) {
      message += " (a scenario goes with an equals sign: --demo=" + std::string(arg) + ")";
    }
    return UsageError{message};
  }

  std::span<const std::string_view> args_;
  std::span<const std::string> scenarios_;
  std::size_t next_ = 0;
  Options options_;
  bool help_ = false, version_ = false, list_ports_ = false, port_given_ = false;
};

}  // namespace

std::variant<Options, UsageError> parse_options(std::span<const std::string_view> args,
                                                std::span<const std::string> demo_scenarios) {
  return Parser(args, demo_scenarios).run();
}

std::string help_text(std::string_view program, std::span<const std::string> demo_scenarios) {
  const std::string p(program);
  const std::string scenarios = demo_scenarios.empty()
                                    ? wrapped("(not in this build)", 22, 80)
                                    : wrapped("scenarios: " + join(demo_scenarios), 22, 80);
  std::string text;
  text += "usage: " + p + " --port NAME --mode flash|test [--log FILE] [--trace]\n";
  text += "       " + p + " --demo[=SCENARIO] --mode flash|test [--log FILE] [--trace]\n";
  text += "       " + p + " --list-ports [--demo]\n";
  text += "       " + p + " --version | --help\n";
  return text +
         "\n"
         "\n"
         "Checks over a serial line whether a Dreambox DM500 still boots. Start the check,\n"
         "then switch the box on. Flash Mode uploads the loader and asks it for the flash\n"
         "chip's status; Test Mode wakes the console and shows what the box prints.\n"
         "\n"
         "options:\n"
         "  --port NAME         the serial port the box is on (see --list-ports)\n"
         "  --mode flash|test   Flash Mode or Test Mode\n"
         "  --log FILE          at the end, write the log to FILE (lines end in CR LF)\n"
         "  --trace             show every byte sent (>) and received (<) on stderr\n"
         "  --demo[=SCENARIO]   check a simulated box instead (scenario: good by default)\n" +
         scenarios +
         "  --list-ports        list the serial ports that can be opened\n"
         "  --version           show the version and the loader image carried\n"
         "  --help              show this text\n"
         "\n"
         "The log goes to stdout, one line at a time; errors and hints go to stderr.\n"
         "Press Esc (or Ctrl-C) to abort the wait for the box; Ctrl-C twice ends at once.\n"
         "\n"
         "exit status:\n"
         "  0    the boot check succeeded\n"
         "  1    the box answered wrongly or not at all\n"
         "  2    the command line is wrong\n"
         "  3    the port could not be opened\n"
         "  4    a read or write failed (device lost)\n"
         "  5    the check succeeded but the log file could not be written\n"
         "  130  aborted by the user\n";
}

}  // namespace cli
