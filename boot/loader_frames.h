#pragma once
// The binary frames the running loader understands:
//   "DM" | length (2, big-endian, whole frame) | command | payload | XOR of all before it.

#include <cstdint>

#include "serial/port.h"

namespace boot {

inline constexpr std::uint8_t set_speed_command = 0x01;
inline constexpr std::uint8_t status_command = 0x04;

// Throws std::length_error when the frame would not fit its 16-bit length field.
serial::Bytes encode_frame(std::uint8_t command, serial::ByteView payload);

// Asks the loader to talk at 115200 baud (the line's own speed).
serial::Bytes speed_frame();
// Asks the loader whether it is attached and its flash answers.
serial::Bytes status_frame();

}  // namespace boot
