#include "sim/image_check.h"

#include <gtest/gtest.h>

#include <string_view>

#include "tests/unit/sim/test_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ImageCheck, TrailerIsTheOnesComplementOfZlibsCrc32) {
  // crc32("123456789") is the standard check value CBF43926.
  const std::string_view text = "123456789";
  const Bytes bytes(text.begin(), text.end());
  EXPECT_EQ(sim::image_trailer_for(bytes), ~0xCBF43926u);
}

TEST(ImageCheck, AcceptsOnlyASoundImage) {
  struct Case {
    const char* name;
    void (*spoil)(Bytes&);
    bool valid;
  };
  const Case cases[] = {
      {"sound image", [](Bytes&) {}, true},
      {"one body byte flipped", [](Bytes& image) { image[1000] ^= 0x01; }, false},
      {"trailer byte flipped", [](Bytes& image) { image.back() ^= 0x80; }, false},
      {"bad magic, trailer matching",
       [](Bytes& image) {
         image[1] = 0x53;
         sim_test::seal_image(image);
       },
       false},
      {"trailer without the final inversion",
       [](Bytes& image) {
         for (std::size_t i = image.size() - 4; i < image.size(); ++i) image[i] ^= 0xFF;
       },
       false},
      {"too short to hold header and trailer", [](Bytes& image) { image.resize(20); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = sim_test::valid_image(43044);
    c.spoil(image);
    const auto verdict = sim::check_image(image);
    EXPECT_EQ(verdict.valid, c.valid);
    EXPECT_EQ(verdict.problem.empty(), c.valid) << verdict.problem;
  }
}

}  // namespace
