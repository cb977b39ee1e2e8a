#pragma once
// What the boot ROM checks before it runs an uploaded image: the header magic 00 52 50 4F,
// and a trailer that holds, big-endian, the ones' complement of zlib's crc32 over all the
// bytes before it.

#include <cstdint>
#include <span>
#include <string>

namespace sim {

struct ImageVerdict {
  bool valid = false;
  std::string problem;  // empty when valid
};

ImageVerdict check_image(std::span<const std::uint8_t> image);

// The trailer value for these bytes (exposed so the rule itself can be tested).
std::uint32_t image_trailer_for(std::span<const std::uint8_t> bytes_before_trailer);

}  // namespace sim
