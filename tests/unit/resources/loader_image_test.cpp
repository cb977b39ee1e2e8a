// The loader image the program carries: found by its resource name, laid out as the box
// expects, its CRC-32 trailer checked here with zlib rather than the generator's own code.
#include "resources/loader_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <string>

namespace {

TEST(LoaderImage, FoundByItsNameInAnyCase) {
  for (const char* name : {"dmboot", "DMBOOT", "DmBoot"}) {
    EXPECT_TRUE(resources::find_rcdata(name).has_value()) << name;
  }
  for (const char* name : {"", "dmboot2", "dmboo", "dm boot", "skin", "DMB"}) {
    EXPECT_FALSE(resources::find_rcdata(name).has_value()) << name;
  }
}

#ifndef PELLORA_SUPPLIED_LOADER_IMAGE

std::uint32_t big_endian_at(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return std::uint32_t{bytes[offset]} << 24 | std::uint32_t{bytes[offset + 1]} << 16 |
         std::uint32_t{bytes[offset + 2]} << 8 | std::uint32_t{bytes[offset + 3]};
}

TEST(LoaderImage, StandInHasTheLoaderLayout) {
  const auto image = resources::find_rcdata("dmboot");
  ASSERT_TRUE(image.has_value());
  ASSERT_EQ(image->size(), 43044u);

  const std::array<std::uint8_t, 4> magic = {0x00, 0x52, 0x50, 0x4F};
  EXPECT_TRUE(std::equal(magic.begin(), magic.end(), image->begin()));
  EXPECT_EQ(big_endian_at(*image, 4), 43044u);  // image size
  EXPECT_EQ(big_endian_at(*image, 8), 32u);     // entry offset
  EXPECT_EQ(big_endian_at(*image, 32), 0x48000000u) << "the code is an idle loop, b .";

  const std::size_t before_trailer = image->size() - 4;
  const auto crc =
      static_cast<std::uint32_t>(crc32(0L, image->data(), static_cast<uInt>(before_trailer)));
  EXPECT_EQ(big_endian_at(*image, before_trailer), ~crc);
}

TEST(LoaderImage, DescriptionSaysItIsTheStandIn) {
  EXPECT_EQ(resources::loader_image_description(),
            "loader image: stand-in (43044 bytes, idle loop; a real box will not answer its "
            "frames)");
}

#else

TEST(LoaderImage, DescriptionNamesTheSuppliedImage) {
  EXPECT_TRUE(resources::loader_image_description().starts_with("loader image: supplied "))
      << resources::loader_image_description();
}

#endif

}  // namespace
