#include "frontend/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace frontend {
namespace {

const std::vector<std::string> scenarios = {"good", "silent", "reply-crlf"};

using Options = CliOptions;
using Command = CliCommand;

std::variant<Options, UsageError> parse(std::vector<std::string> args,
                                        const std::vector<std::string>& known = scenarios) {
  return parse_cli_options(args, known);
}

Options check(std::string port, boot::Mode mode) {
  Options options;
  options.port = std::move(port);
  options.mode = mode;
  return options;
}

struct ParsedCase {
  std::vector<std::string> args;
  Options expected;
};

// A case prints as its command line.
void PrintTo(const ParsedCase& c, std::ostream* os) {
  for (const auto& arg : c.args) *os << arg << ' ';
}

class ParsesTo : public testing::TestWithParam<ParsedCase> {};

TEST_P(ParsesTo, TheExpectedOptions) {
  const auto result = parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<Options>(result)) << std::get<UsageError>(result).message;
  EXPECT_EQ(std::get<Options>(result), GetParam().expected);
}

Options with_log(Options options, std::string file) {
  options.log_file = std::move(file);
  return options;
}
Options traced(Options options) {
  options.trace = true;
  return options;
}
Options demo(boot::Mode mode, std::string scenario = "good") {
  Options options = check("", mode);
  options.demo = true;
  options.scenario = std::move(scenario);
  return options;
}
Options command(Command c, bool with_demo = false) {
  Options options;
  options.command = c;
  options.demo = with_demo;
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParsesTo,
    testing::Values(ParsedCase{{"--port", "/dev/ttyUSB0", "--mode", "flash"},
                               check("/dev/ttyUSB0", boot::Mode::flash)},
                    ParsedCase{{"--mode=test", "--port=COM3"}, check("COM3", boot::Mode::test)},
                    ParsedCase{{"--port", "COM3", "--mode", "flash", "--log", "out.log", "--trace"},
                               traced(with_log(check("COM3", boot::Mode::flash), "out.log"))},
                    ParsedCase{{"--demo", "--mode", "flash"}, demo(boot::Mode::flash)},
                    ParsedCase{{"--demo=silent", "--mode", "test"},
                               demo(boot::Mode::test, "silent")},
                    ParsedCase{{"--list-ports"}, command(Command::list_ports)},
                    ParsedCase{{"--list-ports", "--demo"}, command(Command::list_ports, true)},
                    ParsedCase{{"--version"}, command(Command::version)},
                    // --version names the image --loader would send.
                    ParsedCase{{"--loader", "own.bin", "--version"},
                               [] {
                                 Options o = command(Command::version);
                                 o.loader_file = "own.bin";
                                 return o;
                               }()},
                    ParsedCase{{"--help"}, command(Command::help)},
                    ParsedCase{{"-h"}, command(Command::help)},
                    // Asking for help needs no complete command line.
                    ParsedCase{{"--mode", "flash", "--help"}, command(Command::help)}));

struct ErrorCase {
  std::vector<std::string> args;
  std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  for (const auto& arg : c.args) *os << arg << ' ';
}

class FailsWith : public testing::TestWithParam<ErrorCase> {};

TEST_P(FailsWith, TheUsageError) {
  const auto result = parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<UsageError>(result));
  EXPECT_EQ(std::get<UsageError>(result).message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, FailsWith,
    testing::Values(
        ErrorCase{{}, "no port given: use --port NAME (see --list-ports), or --demo"},
        ErrorCase{{"--mode", "flash"},
                  "no port given: use --port NAME (see --list-ports), or --demo"},
        ErrorCase{{"--port", "COM1"}, "no mode given: use --mode flash or --mode test"},
        ErrorCase{{"--port", "COM1", "--mode", "jtag"}, "unknown mode 'jtag' (use flash or test)"},
        ErrorCase{{"--port", "COM1", "--mode"}, "--mode needs a value"},
        ErrorCase{{"--port", "--mode", "flash"}, "--port needs a value"},
        ErrorCase{{"--port=", "--mode", "flash"}, "--port needs a value"},
        ErrorCase{{"--port", "COM1", "--mode", "flash", "--speed", "9600"},
                  "unknown option '--speed'"},
        ErrorCase{{"--port", "COM1", "--mode", "flash", "extra"}, "unexpected argument 'extra'"},
        ErrorCase{{"--demo", "silent", "--mode", "flash"},
                  "unexpected argument 'silent' (a scenario goes with an equals sign: "
                  "--demo=silent)"},
        ErrorCase{{"--demo=fried", "--mode", "flash"},
                  "unknown scenario 'fried'; the scenarios are: good, silent, reply-crlf"},
        ErrorCase{{"--demo", "--port", "COM1", "--mode", "flash"},
                  "--port and --demo cannot be used together"},
        ErrorCase{{"--trace=yes", "--demo", "--mode", "flash"}, "--trace takes no value"},
        ErrorCase{{"--list-ports", "--port", "COM1"},
                  "--list-ports cannot be combined with --port, --mode, --log, --report or "
                  "--loader"},
        ErrorCase{{"--port", "", "--mode", "flash"}, "--port needs a value"},
        ErrorCase{{"--demo", "--mode", "flash", "--report"}, "--report needs a value"},
        ErrorCase{{"--version", "--loader", ""}, "--loader needs a value"}));

TEST(DemoOption, IsRefusedInABuildWithoutTheSimulatedBox) {
  const auto result = parse({"--demo", "--mode", "flash"}, {});
  ASSERT_TRUE(std::holds_alternative<UsageError>(result));
  EXPECT_EQ(std::get<UsageError>(result).message,
            "--demo is not available in this build (it has no simulated box)");
}

TEST(HelpText, NamesEveryOptionAndExitStatus) {
  const std::string help = cli_help_text(scenarios);
  for (const char* word :
       {"Usage: pellora-cli", "--port NAME", "--mode flash|test", "--log FILE", "--report FILE",
        "--loader FILE", "--trace", "--demo[=SCENARIO]", "--list-ports", "--version", "--help",
        "  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  5 ", "  130 ", "good, silent, reply-crlf"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

TEST(CliOptions, TakeTheReportAndTheLoaderFiles) {
  const auto result =
      parse({"--port", "COM3", "--mode", "flash", "--report=r.json", "--loader", "dmboot.bin"});
  ASSERT_TRUE(std::holds_alternative<Options>(result)) << std::get<UsageError>(result).message;
  EXPECT_EQ(std::get<Options>(result).report_file, "r.json");
  EXPECT_EQ(std::get<Options>(result).loader_file, "dmboot.bin");
}

// The window's options: the demo, the screenshot tour, the loader, and the questions.
struct WindowCase {
  std::string_view name;
  std::vector<std::string> args;
  std::optional<WindowOptions> expected;  // nullopt: a usage error
};

void PrintTo(const WindowCase& c, std::ostream* os) {
  *os << c.name;
}

class WindowOptionsParse : public testing::TestWithParam<WindowCase> {};

TEST_P(WindowOptionsParse, GivesTheOptionsOrAUsageError) {
  const auto result = parse_window_options(GetParam().args, scenarios);
  if (!GetParam().expected) {
    ASSERT_TRUE(std::holds_alternative<UsageError>(result));
    EXPECT_FALSE(std::get<UsageError>(result).message.empty());
    return;
  }
  ASSERT_TRUE(std::holds_alternative<WindowOptions>(result))
      << std::get<UsageError>(result).message;
  EXPECT_EQ(std::get<WindowOptions>(result), *GetParam().expected);
}

WindowOptions window(std::optional<std::string> demo, std::string tour = {},
                     std::optional<std::string> loader = {}) {
  WindowOptions o;
  o.demo_scenario = std::move(demo);
  o.screenshot_dir = std::move(tour);
  o.loader_file = std::move(loader);
  return o;
}

INSTANTIATE_TEST_SUITE_P(
    Window, WindowOptionsParse,
    testing::Values(
        WindowCase{"Nothing", {}, window({})}, WindowCase{"Demo", {"--demo"}, window("good")},
        WindowCase{"DemoScenario", {"--demo=silent"}, window("silent")},
        // The tour clicks through the demo.
        WindowCase{"TourImpliesDemo", {"--screenshot-tour", "/tmp/s"}, window("good", "/tmp/s")},
        WindowCase{"Loader", {"--loader=/tmp/dmboot.bin"}, window({}, {}, "/tmp/dmboot.bin")},
        WindowCase{"Version",
                   {"--version"},
                   [] {
                     auto o = window({});
                     o.show_version = true;
                     return o;
                   }()},
        WindowCase{"VersionOfALoaderFile",
                   {"--version", "--loader", "own.bin"},
                   [] {
                     auto o = window({}, {}, "own.bin");
                     o.show_version = true;
                     return o;
                   }()},
        WindowCase{"Help",
                   {"-h"},
                   [] {
                     auto o = window({});
                     o.show_help = true;
                     return o;
                   }()},
        WindowCase{"UnknownOption", {"--bogus"}, std::nullopt},
        WindowCase{"TourWithoutFolder", {"--screenshot-tour"}, std::nullopt},
        WindowCase{"UnknownScenario", {"--demo=fried"}, std::nullopt},
        WindowCase{"StrayWord", {"offscreen"}, std::nullopt}),
    [](const testing::TestParamInfo<WindowCase>& param_info) {
      return std::string(param_info.param.name);
    });

}  // namespace
}  // namespace frontend
