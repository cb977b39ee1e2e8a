// The two frames the loader gets, byte for byte, and the encoder behind them.
#include "boot/loader_frames.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace boot_test {
namespace {

const serial::Bytes speed_frame_bytes = {0x44, 0x4D, 0x00, 0x18, 0x01, 0x00, 0x01, 0xC2,
                                         0x00, 0x00, 0x09, 0x34, 0x00, 0x00, 0xFF, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11};
const serial::Bytes status_frame_bytes = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0B};

TEST(LoaderFrames, BothFramesAreExact) {
  EXPECT_EQ(boot::speed_frame(), speed_frame_bytes);
  EXPECT_EQ(boot::status_frame(), status_frame_bytes);
}

TEST(LoaderFrames, EncoderBuildsLengthAndCheckByte) {
  const serial::Bytes status_payload = {0x01};
  EXPECT_EQ(boot::encode_frame(0x04, status_payload), status_frame_bytes);

  const serial::Bytes speed_payload(speed_frame_bytes.begin() + 5, speed_frame_bytes.end() - 1);
  EXPECT_EQ(boot::encode_frame(0x01, speed_payload), speed_frame_bytes);

  // Empty payload: 44 ^ 4D ^ 00 ^ 06 ^ 02 = 0D.
  EXPECT_EQ(boot::encode_frame(0x02, {}), (serial::Bytes{0x44, 0x4D, 0x00, 0x06, 0x02, 0x0D}));

  // A length above 255 uses the high byte.
  const serial::Bytes long_payload(300, 0x00);
  const serial::Bytes frame = boot::encode_frame(0x07, long_payload);
  ASSERT_EQ(frame.size(), 306u);
  EXPECT_EQ(frame[2], 0x01);
  EXPECT_EQ(frame[3], 0x32);
  EXPECT_EQ(frame.back(), 0x44 ^ 0x4D ^ 0x01 ^ 0x32 ^ 0x07);
}

TEST(LoaderFrames, PayloadTooLongForTheLengthFieldIsRefused) {
  const serial::Bytes largest(65535 - 6, 0x00);
  EXPECT_EQ(boot::encode_frame(0x01, largest).size(), 65535u);
  const serial::Bytes too_long(65535 - 5, 0x00);
  EXPECT_THROW(boot::encode_frame(0x01, too_long), std::length_error);
}

}  // namespace
}  // namespace boot_test
