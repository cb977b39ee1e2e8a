#include "tests/unit/sim/test_image.h"

#include <zlib.h>

namespace sim_test {

void seal_image(std::vector<std::uint8_t>& image) {
  const std::size_t body = image.size() - 4;
  const auto crc = ~static_cast<std::uint32_t>(crc32(0L, image.data(), static_cast<uInt>(body)));
  for (std::size_t i = 0; i < 4; ++i) {
    image[body + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  }
}

std::vector<std::uint8_t> valid_image(std::size_t size) {
  std::vector<std::uint8_t> image(size);
  const std::uint8_t magic[] = {0x00, 0x52, 0x50, 0x4F};
  for (std::size_t i = 0; i < size - 4; ++i) {
    image[i] = i < 4 ? magic[i] : static_cast<std::uint8_t>(i * 7 + (i >> 8));
  }
  seal_image(image);
  return image;
}

}  // namespace sim_test
