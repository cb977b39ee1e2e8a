#pragma once
// The tool's end of the wire for these tests: the slave side of the box's pseudo-terminal,
// opened raw through termios directly, as a serial adapter would be.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim_test {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

enum class SpeedCall {
  classic,  // cfsetspeed with a B constant
  custom,   // the termios2 ioctl with an arbitrary number, as custom-speed opens do
};

class PtyClient {
 public:
  explicit PtyClient(const std::string& path, std::uint32_t baud = 115200,
                     SpeedCall call = SpeedCall::classic);
  ~PtyClient();
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  // False when the line is gone (the box side closed).
  bool write(std::span<const std::uint8_t> bytes);
  bool write(std::string_view text);
  // Returns once count bytes arrived, or what arrived when the timeout passed.
  Bytes read(std::size_t count, milliseconds timeout);
  // Everything that arrives until the line stays quiet for the given time.
  Bytes read_until_quiet(milliseconds quiet, milliseconds limit = milliseconds(5000));
  // Reads until the text has arrived (true) or the timeout passed (false).
  bool read_until(std::string_view text, milliseconds timeout);
  // True when a read reports the end of the line (the master went away).
  bool line_gone(milliseconds timeout);
  void close();

 private:
  int fd_ = -1;
};

// Sets the speed through the kernel's termios2 (a file of its own: it clashes with termios.h).
void set_custom_speed(int fd, std::uint32_t baud);

Bytes bytes_of(std::string_view text);
std::string text_of(const Bytes& bytes);
bool contains(const Bytes& haystack, std::string_view needle);

}  // namespace sim_test
