#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <regex>
#include <string>

#include "captured_stream.h"
#include "cli/error_noting_port.h"
#include "cli/tracing_port.h"
#include "serial/serial_error.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

// A port that answers reads from a script and can be told to fail.
class ScriptedPort final : public serial::Port {
 public:
  void set_port(const std::string& name) override { name_ = name; }
  std::string port() const override { return name_; }
  void set_baud_rate(std::uint32_t baud) override { baud_ = baud; }
  std::uint32_t baud_rate() const override { return baud_; }
  void set_stop_bits(serial::StopBits) override {}
  void set_timeouts(const serial::ReadTimeouts& t) override { timeouts_ = t; }
  serial::ReadTimeouts timeouts() const override { return timeouts_; }
  void open() override {
    if (!open_error.empty()) throw serial::SerialError(open_error);
    open_ = true;
  }
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  void set_dtr(bool) override {}
  void set_rts(bool) override {}
  void write(serial::ByteView bytes) override {
    if (!write_error.empty()) throw serial::SerialError(write_error);
    written.insert(written.end(), bytes.begin(), bytes.end());
  }
  serial::Bytes read(std::size_t) override {
    if (replies.empty()) return {};
    auto reply = replies.front();
    replies.pop_front();
    return reply;
  }
  std::size_t bytes_waiting() const override { return 0; }

  std::string open_error, write_error;
  std::deque<serial::Bytes> replies;
  serial::Bytes written;

 private:
  std::string name_;
  std::uint32_t baud_ = 9600;
  serial::ReadTimeouts timeouts_;
  bool open_ = false;
};

TEST(ErrorNotingPort, KeepsTheReasonOfAFailedOpenAndStillThrowsIt) {
  ScriptedPort inner;
  ErrorNotingPort port(inner);
  port.set_port("/dev/ttyUSB7");
  EXPECT_EQ(port.last_error(), "");

  inner.open_error = "/dev/ttyUSB7: cannot open: No such file or directory";
  EXPECT_THROW(port.open(), serial::SerialError);
  EXPECT_EQ(port.last_error(), "/dev/ttyUSB7: cannot open: No such file or directory");
}

struct TraceCase {
  std::chrono::milliseconds at;
  char direction;
  serial::Bytes bytes;
  std::string line;
};

class TraceLine : public testing::TestWithParam<TraceCase> {};

TEST_P(TraceLine, ShowsHexAndPrintableText) {
  EXPECT_EQ(trace_line(GetParam().at, GetParam().direction, GetParam().bytes), GetParam().line);
}

serial::Bytes piece(std::size_t size) {
  serial::Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, TraceLine,
    testing::Values(
        TraceCase{12345ms, '>', {'d', 'r', 'e', 'a', 'm'}, "  12.345 > 64 72 65 61 6D  dream"},
        TraceCase{7ms, '<', {'o', 'k', 0x0A, 0x0D}, "   0.007 < 6F 6B 0A 0D  ok.."},
        TraceCase{1000ms, '<', {0x00, 0xE0, 0x7F, 0x20}, "   1.000 < 00 E0 7F 20  ... "},
        TraceCase{61002ms, '>', piece(1024),
                  "  61.002 > 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 75 76 "
                  "77 78 79 7A 61 62 63 64 65 66 ... (1024 bytes)  "
                  "abcdefghijklmnopqrstuvwxyzabcdef..."},
        // A reply longer than a row is shown whole, its text kept in one column.
        TraceCase{2500ms, '<', piece(35),
                  "   2.500 < 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 75 76 "
                  "77 78 79 7A 61 62 63 64 65 66  abcdefghijklmnopqrstuvwxyzabcdef\n"
                  "           67 68 69" +
                      std::string(3 * 29, ' ') + "  ghi"}));

TEST(TracingPort, PassesTrafficThroughAndShowsEachChunkWithItsDirection) {
  ScriptedPort inner;
  inner.replies = {{}, {'o', 'k', 0x0A, 0x0D}};
  CapturedStream trace;
  TracingPort port(inner, trace.get());

  port.set_port("/dev/pts/9");
  port.set_baud_rate(115200);
  port.open();
  port.write(serial::Bytes{'d', 'r', 'e', 'a', 'm'});
  EXPECT_EQ(port.read(4), serial::Bytes{});  // the quiet read is passed on, not shown
  EXPECT_EQ(port.read(4), (serial::Bytes{'o', 'k', 0x0A, 0x0D}));
  port.close();
  inner.write_error = "/dev/pts/9: WriteFile function failed (Input/output error)";
  EXPECT_THROW(port.write(serial::Bytes{0x0D}), serial::SerialError);

  EXPECT_EQ(inner.written, (serial::Bytes{'d', 'r', 'e', 'a', 'm'}));
  const std::regex expected(
      " +[0-9]+\\.[0-9]{3} = open /dev/pts/9 at 115200 baud\n"
      " +[0-9]+\\.[0-9]{3} > 64 72 65 61 6D  dream\n"
      " +[0-9]+\\.[0-9]{3} < 6F 6B 0A 0D  ok\\.\\.\n"
      " +[0-9]+\\.[0-9]{3} = close /dev/pts/9\n"
      " +[0-9]+\\.[0-9]{3} > 0D  \\.\n"
      " +[0-9]+\\.[0-9]{3} = write failed: /dev/pts/9: WriteFile function failed \\(Input/output "
      "error\\)\n");
  EXPECT_TRUE(std::regex_match(trace.text(), expected)) << trace.text();
}

}  // namespace
}  // namespace cli
