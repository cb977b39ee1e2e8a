#include "sim/image_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr std::uint8_t header_magic[] = {0x00, 0x52, 0x50, 0x4F};
constexpr std::size_t header_size = 32;
constexpr std::size_t trailer_size = 4;

std::string hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

}  // namespace

std::uint32_t image_trailer_for(std::span<const std::uint8_t> bytes) {
  // zlib takes its length as uInt; feed it in pieces so any size is safe.
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t piece = std::min<std::size_t>(bytes.size() - at, 1u << 20);
    crc = crc32(crc, bytes.data() + at, static_cast<uInt>(piece));
    at += piece;
  }
  return ~static_cast<std::uint32_t>(crc);
}

ImageVerdict check_image(std::span<const std::uint8_t> image) {
  if (image.size() < header_size + trailer_size) {
    return {false, "only " + std::to_string(image.size()) + " bytes, too short for an image"};
  }
  if (!std::equal(std::begin(header_magic), std::end(header_magic), image.begin())) {
    return {false, "header magic is not 00 52 50 4F"};
  }
  const auto body = image.first(image.size() - trailer_size);
  const auto trailer = image.last(trailer_size);
  const std::uint32_t stored = static_cast<std::uint32_t>(trailer[0]) << 24 |
                               static_cast<std::uint32_t>(trailer[1]) << 16 |
                               static_cast<std::uint32_t>(trailer[2]) << 8 | trailer[3];
  const std::uint32_t expected = image_trailer_for(body);
  if (stored != expected) {
    return {false, "CRC trailer " + hex32(stored) + ", expected " + hex32(expected)};
  }
  return {true, {}};
}

}  // namespace sim
