#include "cli/traffic_trace.h"

namespace cli {
namespace {

constexpr std::size_t bytes_per_row = 32;
// Replies and console text are shown whole; a loader piece is shown by its start.
constexpr std::size_t max_whole_chunk = 256;

std::string timestamp(std::chrono::milliseconds since_start) {
  const auto ms = since_start.count();
  char text[32];
  std::snprintf(text, sizeof text, "%4lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  return text;
}

std::string hex(serial::ByteView bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  for (const auto byte : bytes) {
    text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

std::string printable(serial::ByteView bytes) {
  std::string text;
  for (const auto byte : bytes) text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
  return text;
}

}  // namespace

std::string trace_line(std::chrono::milliseconds since_start, char direction,
                       serial::ByteView bytes) {
  std::string line = timestamp(since_start) + ' ' + direction;
  if (bytes.size() > max_whole_chunk) {
    line += hex(bytes.first(bytes_per_row)) + " ... (" + std::to_string(bytes.size()) +
            " bytes)  " + printable(bytes.first(bytes_per_row)) + "...";
    return line;
  }
  if (bytes.size() <= bytes_per_row) return line + hex(bytes) + "  " + printable(bytes);

  // Rows of 32 bytes under one another, their text in one column.
  const std::string indent(line.size(), ' ');
  for (std::size_t at = 0; at < bytes.size(); at += bytes_per_row) {
    const auto row = bytes.subspan(at, std::min(bytes_per_row, bytes.size() - at));
    if (at > 0) line += "\n" + indent;
    std::string row_hex = hex(row);
    row_hex.resize(3 * bytes_per_row, ' ');
    line += row_hex + "  " + printable(row);
  }
  return line;
}

void TrafficTrace::print(char direction, serial::ByteView bytes) {
  // Empty reads are the banner watch ticking over; showing them would bury the traffic.
  if (bytes.empty()) return;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  std::fprintf(out_, "%s\n", trace_line(elapsed, direction, bytes).c_str());
  std::fflush(out_);
}

}  // namespace cli
