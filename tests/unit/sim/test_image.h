#pragma once
// Loader images built by the tests themselves: the header magic, filler, and the CRC
// trailer by the box's rule, so nothing depends on the image the program carries.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim_test {

std::vector<std::uint8_t> valid_image(std::size_t size);
// Writes the trailer for the bytes before it (ones' complement of zlib's crc32, big-endian).
void seal_image(std::vector<std::uint8_t>& image);

}  // namespace sim_test
