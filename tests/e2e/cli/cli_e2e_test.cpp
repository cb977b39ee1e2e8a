// pellora-cli as a user or a script runs it: the built program, its stdout, stderr and exit
// status, against the simulated box behind --demo.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "child_process.h"
#include "serial/port_scan.h"
#include "sim/simulated_box.h"
#include "tests/support/loader_files.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::MatchesRegex;

const std::string cli = PELLORA_CLI_PATH;

std::vector<std::string> command(std::initializer_list<std::string> args) {
  std::vector<std::string> all = {cli};
  all.insert(all.end(), args);
  return all;
}

std::string joined(const std::vector<std::string>& lines, std::string_view line_end) {
  std::string text;
  for (const auto& line : lines) text += line + std::string(line_end);
  return text;
}

const std::string power_on = "Power ON DB Device [ESC to Abort]";
const std::string hw_id_a = "HW ID: [E00D447265616D626F782044004D3530300D]";
const std::string detected = "Dreambox Detected...Ok!";
const std::string data1 = "Data1: [6C6F6164696E6720696E7374722E2066696C65]";
const std::string sending = "Sending Flash Loader...";
const std::vector<std::string> flash_success = {
    power_on,
    hw_id_a,
    detected,
    data1,
    sending,
    "Settings Baudrate Ok!!",
    // LF, then "client: ok, i'm now attached to a server. waiting for further commands." CR LF
    "Data2: [0A636C69656E743A206F6B2C2069276D206E6F7720617474616368656420746F2061207365727665722E"
    "2077616974696E6720666F72206675727468657220636F6D6D616E64732E0D0A]",
    "Boot Success!",
    "-Flash Chip Status Good !",
    "-Boot Success & Alive !",
    "-No Need For JTAG !",
};
const std::vector<std::string> wrong_greeting_reply = {power_on, hw_id_a, "Wrong Boot Response!"};

struct Run {
  std::string name;
  std::vector<std::string> args;
  testing::Matcher<const std::string&> out;
  int status;
  testing::Matcher<const std::string&> err;
};

void PrintTo(const Run& run, std::ostream* os) {
  *os << run.name;
}

class ProgramRun : public testing::TestWithParam<Run> {};

TEST_P(ProgramRun, PrintsTheLogOnStdoutAndEndsWithItsStatus) {
  const Finished done = run(GetParam().args, 60s);
  EXPECT_EQ(done.status, GetParam().status) << done.err;
  EXPECT_THAT(done.out, GetParam().out);
  EXPECT_THAT(done.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Demo, ProgramRun,
    testing::Values(
        Run{"flash_good", command({"--demo", "--mode", "flash"}), joined(flash_success, "\n"), 0,
            HasSubstr("demo: simulated DM500 on /dev/pts/")},
        Run{"flash_reply_crlf", command({"--demo=reply-crlf", "--mode", "flash"}),
            joined(wrong_greeting_reply, "\n"), 1, HasSubstr("did not answer as expected")},
        Run{"flash_unplug_during_upload",
            command({"--demo=unplug-during-upload", "--mode", "flash"}),
            joined({power_on, hw_id_a, detected, data1, sending}, "\n"), 4,
            MatchesRegex(".*error: /dev/pts/[0-9]+: (Write|Read)File function failed.*")},
        Run{"test_good", command({"--demo", "--mode", "test"}),
            testing::StartsWith(power_on + "\n"), 0, HasSubstr("console output is in the log")},
        Run{"missing_port", command({"--port", "/dev/ttyUSB-none-such", "--mode", "test"}),
            "Failed Open Com Port!\n", 3,
            MatchesRegex(".*ports found: .*\nerror: /dev/ttyUSB-none-such: .*no such device.*")}),
    [](const testing::TestParamInfo<Run>& p) { return p.param.name; });

// A pseudo-terminal pair: the master side for the test, the slave side for the program.
class PtyPair {
 public:
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) fail("posix_openpt");
    slave_path = ptsname(master);
    slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) fail("open the slave");
  }
  ~PtyPair() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master = -1, slave = -1;
  std::string slave_path;

 private:
  [[noreturn]] static void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
  }
};

TEST(OpenFailure, APortInUseByAnotherProgramIsReportedAsSuch) {
  PtyPair pty;
  // Another program holding the port as serial programs do (root passes TIOCEXCL, not this).
  ASSERT_EQ(flock(pty.slave, LOCK_EX | LOCK_NB), 0);

  const Finished done = run(command({"--port", pty.slave_path, "--mode", "flash"}), 20s);
  EXPECT_EQ(done.status, 3);
  EXPECT_EQ(done.out, "Failed Open Com Port!\n");
  EXPECT_THAT(done.err,
              HasSubstr("error: " + pty.slave_path + ": cannot open the port: it is in use"));
}

TEST(CommandLine, UsageErrorsSayWhatIsWrongAndEndWithStatus2) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {command({"--demo"}), "no mode given"},
      {command({"--mode", "flash"}), "no port given"},
      {command({"--port", "", "--mode", "flash"}), "--port needs a value"},
      {command({"--demo", "--mode", "jtag"}), "unknown mode 'jtag'"},
      {command({"--demo", "--mode", "flash", "--bogus"}), "unknown option '--bogus'"},
      {command({"--demo=fried", "--mode", "flash"}),
       "unknown scenario 'fried'; the scenarios are: good, "},
      {command({"--demo", "--port", "/dev/ttyS0", "--mode", "flash"}),
       "--port and --demo cannot be used together"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const Finished done = run(c.args, 20s);
    EXPECT_EQ(done.status, 2);
    EXPECT_EQ(done.out, "");
    EXPECT_THAT(done.err, HasSubstr("pellora-cli: " + c.message));
    EXPECT_THAT(done.err, HasSubstr("--help"));
  }
}

class LogOption : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellora-cli-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  static std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path dir_;
};

TEST_F(LogOption, WritesEveryLineWithCrLfWhateverTheOutcome) {
  const auto path = dir_ / "Log.log";
  std::ofstream(path) << "an older log\n";
  const Finished done =
      run(command({"--demo=reply-crlf", "--mode", "flash", "--log", path.string()}), 60s);
  EXPECT_EQ(done.status, 1) << done.err;
  EXPECT_EQ(contents(path), joined(wrong_greeting_reply, "\r\n"));
}

TEST_F(LogOption, AFileThatCannotBeWrittenTurnsASuccessIntoStatus5) {
  const auto path = dir_ / "no-such-folder" / "Log.log";
  const Finished done = run(command({"--demo", "--mode", "test", "--log", path.string()}), 60s);
  EXPECT_EQ(done.status, 5);
  EXPECT_THAT(done.out, testing::StartsWith(power_on + "\n"));
  EXPECT_THAT(done.err, HasSubstr("cannot write the log to \"" + path.string() + "\": "));
}

TEST(ListPorts, ShowsTheDemoBoxBesideTheRealPortsEachWithItsDescriptionAfterATab) {
  const Finished done = run(command({"--list-ports", "--demo"}), 60s);
  EXPECT_EQ(done.status, 0) << done.err;
  // A name alone, or a name, a tab and a description; the demo box is a pseudo-terminal,
  // which the system knows nothing of.
  const std::string real_port = "(/dev/tty[^\t\n]+(\t[^\t\n]+)?\n)*";
  EXPECT_THAT(done.out, MatchesRegex(real_port + "/dev/pts/[0-9]+\n" + real_port));
  std::istringstream lines(done.out);
  for (std::string line; std::getline(lines, line);) {
    const auto tab = line.find('\t');
    const std::string name = line.substr(0, tab);
    const std::string description = tab == std::string::npos ? "" : line.substr(tab + 1);
    EXPECT_EQ(description, serial::describe_port(name)) << name;
  }
}

// pellora-cli --loader FILE against a simulated box: a file that cannot be used ends the
// program before the port is opened; any other goes out unchanged, with a warning for
// what does not hold.
class LoaderFileRun : public testing::TestWithParam<test_support::LoaderFileCase> {
 protected:
  static sim::Options quick_box() {
    sim::Options options;
    options.pace = false;
    options.power_on_delay = 100ms;
    return options;
  }
  test_support::TemporaryFolder folder_;
  sim::SimulatedBox box_{quick_box()};
};

TEST_P(LoaderFileRun, RefusesOrSendsTheFileUnchanged) {
  const test_support::LoaderFileCase& c = GetParam();
  const std::string path = c.make(folder_.path()).string();
  const auto report_path = folder_.path() / "report.json";
  const Finished done = run(command({"--port", box_.slave_path(), "--mode", "flash", "--loader",
                                     path, "--report", report_path.string()}),
                            60s);
  const sim::Record record = box_.record();
  const sim::Bytes received = record.bytes(sim::Chunk::Direction::received);

  if (!c.taken()) {
    EXPECT_EQ(done.status, 2);
    EXPECT_EQ(done.out, "") << "the port is never opened";
    EXPECT_THAT(done.err,
                HasSubstr("pellora-cli: \"" + path + "\" cannot be used as the loader image: "));
    EXPECT_THAT(done.err, HasSubstr(c.refusal));
    EXPECT_TRUE(received.empty());
    EXPECT_FALSE(record.reached(sim::Stage::powered_on));
    return;
  }

  const test_support::Bytes file = test_support::read_bytes(path);
  const std::size_t before_image = 5 + 8;  // "dream" and the start command
  ASSERT_GE(received.size(), before_image + file.size()) << done.out;
  EXPECT_TRUE(std::equal(file.begin(), file.end(), received.begin() + before_image))
      << "the file's bytes follow the start command, unchanged";
  EXPECT_THAT(done.err, testing::Not(HasSubstr("stand-in")));
  // The report names the image that went out.
  const auto report_bytes = test_support::read_bytes(report_path);
  const auto loader = nlohmann::json::parse(report_bytes.begin(), report_bytes.end())["loader"];
  EXPECT_EQ(loader["source"], "file");
  EXPECT_EQ(loader["size"], file.size());
  EXPECT_EQ(loader["header_ok"], c.header_ok);
  EXPECT_EQ(loader["crc_ok"], c.crc_ok);
  const std::vector<std::string> warnings = c.warning_parts();
  if (warnings.empty()) {
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(record.image, file);
    EXPECT_THAT(done.err, testing::Not(HasSubstr("warning")));
    return;
  }
  // The box's boot ROM rejects what the warnings are about; the loader never answers.
  EXPECT_EQ(done.status, 1) << done.err;
  EXPECT_THAT(done.err, HasSubstr("warning: \"" + path + "\" does not look like a DM500 loader: "));
  for (const std::string& part : warnings) EXPECT_THAT(done.err, HasSubstr(part));
}

INSTANTIATE_TEST_SUITE_P(Files, LoaderFileRun, testing::ValuesIn(test_support::loader_file_cases()),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(LoaderFile, WithoutOneTheBuiltInImageGoesOutAndTheStandInIsSaidOnce) {
  sim::Options options;
  options.pace = false;
  options.power_on_delay = 100ms;
  sim::SimulatedBox box(options);
  const Finished done = run(command({"--port", box.slave_path(), "--mode", "flash"}), 60s);
  EXPECT_EQ(done.status, 0) << done.err;
  const sim::Record record = box.record();
  ASSERT_EQ(record.image.size(), 43044u);
  const std::string note = "note: This check sends the built-in stand-in loader";
  const auto first = done.err.find(note);
  ASSERT_NE(first, std::string::npos) << done.err;
  EXPECT_EQ(done.err.find(note, first + 1), std::string::npos);
}

TEST(LoaderFile, VersionNamesTheFileThatWouldBeSent) {
  test_support::TemporaryFolder folder;
  const auto path = (folder.path() / "dmboot.bin").string();
  test_support::write_bytes(path, test_support::valid_loader());
  const Finished done = run(command({"--version", "--loader", path}), 20s);
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_THAT(done.out, HasSubstr("loader image: " + path +
                                  " (43044 bytes, header 00 52 50 4F ok, CRC-32 trailer ok)"));

  const Finished built_in = run(command({"--version"}), 20s);
  EXPECT_THAT(built_in.out, HasSubstr("loader image: "));
  EXPECT_THAT(built_in.out, testing::Not(HasSubstr(path)));
}

TEST(Interrupts, SigtermDuringTheBannerWaitAbortsTheCheck) {
  ChildProcess child(command({"--demo=silent", "--mode", "flash"}));
  ASSERT_TRUE(child.wait_for_output(power_on, 20s));
  std::this_thread::sleep_for(300ms);
  child.send_signal(SIGTERM);
  const Finished done = child.finish(20s);
  EXPECT_EQ(done.status, 130);
  EXPECT_EQ(done.out, joined({power_on, "HW ID: []", "User Abort!"}, "\n"));
  EXPECT_THAT(done.err, HasSubstr("result: aborted"));
}

TEST(Interrupts, ASecondCtrlCEndsTheProgramAtOnce) {
  // After the greeting the box keeps silent; the tool sits in its 1.5 s read for the reply.
  ChildProcess child(command({"--demo=slow-ok", "--mode", "flash"}));
  ASSERT_TRUE(child.wait_for_output("HW ID: [", 20s));
  std::this_thread::sleep_for(300ms);  // past the steps between the line and the read
  child.send_signal(SIGINT);
  std::this_thread::sleep_for(50ms);
  child.send_signal(SIGINT);
  const Finished done = child.finish(20s);
  EXPECT_EQ(done.status, 130);
  // Ended inside the read: the dialogue never got to its next line.
  EXPECT_EQ(done.out, joined({power_on, hw_id_a}, "\n"));
}

// A pseudo-terminal as the program's stdin, like a shell's terminal.
class OnATerminal : public testing::Test {
 protected:
  void type(std::string_view keys) const {
    ASSERT_EQ(write(pty_.master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  bool line_editing_on() const {
    termios settings{};
    tcgetattr(pty_.slave, &settings);
    return (settings.c_lflag & ICANON) != 0 && (settings.c_lflag & ECHO) != 0;
  }

  PtyPair pty_;
  const std::string& slave_path_ = pty_.slave_path;
};

TEST_F(OnATerminal, EscAbortsTheWaitButAnArrowKeyDoesNot) {
  ASSERT_TRUE(line_editing_on());
  ChildProcess child(command({"--demo=silent", "--mode", "flash"}), slave_path_);
  ASSERT_TRUE(child.wait_for_output(power_on, 20s));
  EXPECT_FALSE(line_editing_on()) << "keys should arrive one by one, without echo";

  type("\x1b[A");
  EXPECT_FALSE(child.wait_for_output("User Abort!", 1s));
  type("\x1b");
  const Finished done = child.finish(20s);
  EXPECT_EQ(done.status, 130);
  EXPECT_EQ(done.out, joined({power_on, "HW ID: []", "User Abort!"}, "\n"));
  EXPECT_TRUE(line_editing_on()) << "the terminal is given back as it was";
}

TEST_F(OnATerminal, CtrlCTwiceStillGivesTheTerminalBack) {
  ChildProcess child(command({"--demo=silent", "--mode", "flash"}), slave_path_);
  ASSERT_TRUE(child.wait_for_output(power_on, 20s));
  type("\x03\x03");  // the terminal turns each into SIGINT for the program
  const Finished done = child.finish(20s);
  EXPECT_EQ(done.status, 130);
  EXPECT_TRUE(line_editing_on());
}

TEST_F(OnATerminal, AReaderThatQuitsEndsNothingButTheLinesAndTheTerminalIsGivenBack) {
  ChildProcess child(command({"--demo=silent", "--mode", "flash"}), slave_path_);
  ASSERT_TRUE(child.wait_for_output(power_on, 20s));
  child.close_stdout();  // as `pellora-cli ... | head -1` does
  type("\x1b");          // the next log line finds no reader
  const Finished done = child.finish(20s);
  // Not killed by SIGPIPE: the check ends as the Esc says, its verdict on stderr.
  EXPECT_EQ(done.status, 130);
  EXPECT_THAT(done.err, HasSubstr("result: aborted"));
  EXPECT_TRUE(line_editing_on());
}

}  // namespace
}  // namespace e2e
