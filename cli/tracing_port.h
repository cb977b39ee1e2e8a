#pragma once
// --trace: a port that passes everything through to the real one and shows, on a stream,
// every byte sent and received with a millisecond timestamp.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/port_decorator.h"

namespace cli {

// One chunk's trace: "  12.345 > 64 72 65 61 6D  dream". Chunks of more than 32 bytes take
// one row per 32 bytes; a loader piece (over 256 bytes) shows only the hex of its first
// bytes and its size, so each write of the upload stays one readable line.
std::string trace_line(std::chrono::milliseconds since_start, char direction,
                       serial::ByteView bytes);

class TracingPort final : public PortDecorator {
 public:
  TracingPort(serial::Port& inner, std::FILE* out);

  void open() override;
  void close() override;
  void write(serial::ByteView bytes) override;
  serial::Bytes read(std::size_t count) override;

 private:
  std::chrono::milliseconds elapsed() const;
  void print(const std::string& line);
  void note(std::string_view event);

  std::FILE* out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace cli
