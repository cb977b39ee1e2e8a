#pragma once
// --trace: every byte the port sends and receives, with a millisecond timestamp, on a
// stream of its own (stderr).

#include <chrono>
#include <cstdio>
#include <string>

#include "serial/port.h"

namespace cli {

// One chunk's trace: "  12.345 > 64 72 65 61 6D  dream". Chunks of more than 32 bytes take
// one row per 32 bytes; a loader piece (over 256 bytes) shows only the hex of its first
// bytes and its size, so each write of the upload stays one readable line.
std::string trace_line(std::chrono::milliseconds since_start, char direction,
                       serial::ByteView bytes);

class TrafficTrace final : public serial::TrafficObserver {
 public:
  explicit TrafficTrace(std::FILE* out) : out_(out) {}

  void bytes_sent(serial::ByteView bytes) override { print('>', bytes); }
  void bytes_received(serial::ByteView bytes) override { print('<', bytes); }

 private:
  void print(char direction, serial::ByteView bytes);

  std::FILE* out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace cli
