#include "cli/tracing_port.h"

#include "serial/serial_error.h"

namespace cli {
namespace {

constexpr std::size_t max_hex_bytes = 32;
constexpr std::size_t max_text_chars = 64;

std::string timestamp(std::chrono::milliseconds since_start) {
  const auto ms = since_start.count();
  char text[32];
  std::snprintf(text, sizeof text, "%4lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  return text;
}

}  // namespace

std::string trace_line(std::chrono::milliseconds since_start, char direction,
                       serial::ByteView bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string line = timestamp(since_start);
  line += ' ';
  line += direction;
  for (std::size_t i = 0; i < bytes.size() && i < max_hex_bytes; ++i) {
    line += ' ';
    line += digits[bytes[i] >> 4];
    line += digits[bytes[i] & 0x0F];
  }
  if (bytes.size() > max_hex_bytes) {
    line += " ... (" + std::to_string(bytes.size()) + " bytes)";
  }
  line += "  ";
  for (std::size_t i = 0; i < bytes.size() && i < max_text_chars; ++i) {
    const bool printable = bytes[i] >= 0x20 && bytes[i] < 0x7F;
    line += printable ? static_cast<char>(bytes[i]) : '.';
  }
  if (bytes.size() > max_text_chars) line += "...";
  return line;
}

TracingPort::TracingPort(serial::Port& inner, std::FILE* out) : PortDecorator(inner), out_(out) {}

std::chrono::milliseconds TracingPort::elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_);
}

void TracingPort::print(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void TracingPort::note(std::string_view event) {
  print(timestamp(elapsed()) + " = " + std::string(event));
}

void TracingPort::open() {
  const bool was_open = inner().is_open();
  try {
    inner().open();
  } catch (const serial::SerialError& e) {
    note(std::string("open failed: ") + e.what());
    throw;
  }
  if (!was_open) {
    note("open " + inner().port() + " at " + std::to_string(inner().baud_rate()) + " baud");
  }
}

void TracingPort::close() {
  const bool was_open = inner().is_open();
  inner().close();
  if (was_open) note("close " + inner().port());
}

void TracingPort::write(serial::ByteView bytes) {
  print(trace_line(elapsed(), '>', bytes));
  try {
    inner().write(bytes);
  } catch (const serial::SerialError& e) {
    note(std::string("write failed: ") + e.what());
    throw;
  }
}

serial::Bytes TracingPort::read(std::size_t count) {
  serial::Bytes bytes;
  try {
    bytes = inner().read(count);
  } catch (const serial::SerialError& e) {
    note(std::string("read failed: ") + e.what());
    throw;
  }
  // Empty reads are the banner watch ticking over; showing them would bury the traffic.
  if (!bytes.empty()) print(trace_line(elapsed(), '<', bytes));
  return bytes;
}

}  // namespace cli
