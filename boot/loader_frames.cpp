#include "boot/loader_frames.h"

#include <array>
#include <limits>
#include <stdexcept>

namespace boot {

namespace {

constexpr std::size_t frame_overhead = 6;  // magic, length, command, check byte

void append_big_endian(serial::Bytes& bytes, std::uint32_t value, int size) {
  for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

}  // namespace

serial::Bytes encode_frame(std::uint8_t command, serial::ByteView payload) {
  const std::size_t length = frame_overhead + payload.size();
  if (length > std::numeric_limits<std::uint16_t>::max()) {
    throw std::length_error("loader frame payload too long: " + std::to_string(payload.size()) +
                            " bytes");
  }
  serial::Bytes frame{'D', 'M'};
  append_big_endian(frame, static_cast<std::uint32_t>(length), 2);
  frame.push_back(command);
  frame.insert(frame.end(), payload.begin(), payload.end());
  std::uint8_t check = 0;
  for (const std::uint8_t byte : frame) check ^= byte;
  frame.push_back(check);
  return frame;
}

serial::Bytes speed_frame() {
  serial::Bytes payload;
  append_big_endian(payload, serial::boot_baud_rate, 4);
  // The rest of the speed request, as the loader expects it.
  constexpr std::array<std::uint8_t, 14> rest = {0x00, 0x09, 0x34, 0x00, 0x00, 0xFF, 0x00,
                                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  payload.insert(payload.end(), rest.begin(), rest.end());
  return encode_frame(set_speed_command, payload);
}

serial::Bytes status_frame() {
  constexpr std::array<std::uint8_t, 1> payload = {0x01};
  return encode_frame(status_command, payload);
}

}  // namespace boot
