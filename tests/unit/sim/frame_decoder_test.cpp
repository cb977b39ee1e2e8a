#include "sim/frame_decoder.h"

#include <gtest/gtest.h>

#include "tests/unit/sim/box_session.h"

namespace {

using sim::FrameDecoder;
using sim_test::Bytes;

struct Expected {
  bool valid;
  std::uint8_t command;
  Bytes payload;  // checked for valid frames only
};

struct DecodeCase {
  const char* name;
  std::vector<Bytes> pieces;  // fed one after the other
  std::vector<Expected> frames;
};

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes speed_payload = {0x00, 0x01, 0xC2, 0x00, 0x00, 0x09, 0x34, 0x00, 0x00,
                             0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes bad_check_status = {0x44, 0x4D, 0x00, 0x07, 0x04, 0x01, 0x0C};
const Bytes short_length = {0x44, 0x4D, 0x00, 0x03, 0x04, 0x01, 0x0B};
const Bytes huge_length = {0x44, 0x4D, 0xFF, 0xFF, 0x04, 0x01, 0x0B};
// The status frame with its length one short: the command byte lands where the check is.
const Bytes length_one_short = {0x44, 0x4D, 0x00, 0x06, 0x04, 0x01, 0x0B};

TEST(FrameDecoder, DecodesGoodFramesAndReportsBrokenOnes) {
  const std::vector<DecodeCase> cases = {
      {"status frame", {sim_test::status_frame}, {{true, 0x04, {0x01}}}},
      {"speed frame", {sim_test::speed_frame}, {{true, 0x01, speed_payload}}},
      {"split in pieces",
       {Bytes(sim_test::speed_frame.begin(), sim_test::speed_frame.begin() + 1),
        Bytes(sim_test::speed_frame.begin() + 1, sim_test::speed_frame.begin() + 9),
        Bytes(sim_test::speed_frame.begin() + 9, sim_test::speed_frame.end())},
       {{true, 0x01, speed_payload}}},
      {"noise before, a lone 44 at a piece end",
       {{0x13, 0x37, 0x44},
        Bytes(sim_test::status_frame.begin() + 1, sim_test::status_frame.end())},
       {{true, 0x04, {0x01}}}},
      {"bad check byte, then a good frame",
       {join({bad_check_status, sim_test::status_frame})},
       {{false, 0x04, {}}, {true, 0x04, {0x01}}}},
      {"length below the smallest frame",
       {join({short_length, sim_test::status_frame})},
       {{false, 0, {}}, {true, 0x04, {0x01}}}},
      {"length above the largest frame",
       {join({huge_length, sim_test::status_frame})},
       {{false, 0, {}}, {true, 0x04, {0x01}}}},
      {"length one short",
       {join({length_one_short, sim_test::status_frame})},
       {{false, 0x04, {}}, {true, 0x04, {0x01}}}},
      {"two frames in one piece",
       {join({sim_test::status_frame, sim_test::speed_frame})},
       {{true, 0x04, {0x01}}, {true, 0x01, speed_payload}}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameDecoder decoder;
    std::vector<sim::DecodedFrame> frames;
    for (const Bytes& piece : c.pieces) {
      auto got = decoder.feed(piece);
      frames.insert(frames.end(), got.begin(), got.end());
    }
    ASSERT_EQ(frames.size(), c.frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(frames[i].valid, c.frames[i].valid) << "frame " << i;
      EXPECT_EQ(frames[i].valid, frames[i].problem.empty()) << "frame " << i;
      if (c.frames[i].valid) {
        EXPECT_EQ(frames[i].command, c.frames[i].command) << "frame " << i;
        EXPECT_EQ(frames[i].payload, c.frames[i].payload) << "frame " << i;
      }
    }
    EXPECT_FALSE(decoder.inside_frame());
  }
}

TEST(FrameDecoder, GivesUpAFrameCutShortAndFindsTheNextOne) {
  FrameDecoder decoder;
  const Bytes cut(sim_test::speed_frame.begin(), sim_test::speed_frame.begin() + 10);
  EXPECT_TRUE(decoder.feed(cut).empty());
  EXPECT_TRUE(decoder.inside_frame());

  const auto given_up = decoder.give_up_incomplete();
  ASSERT_EQ(given_up.size(), 1u);
  EXPECT_FALSE(given_up[0].valid);
  EXPECT_NE(given_up[0].problem.find("incomplete"), std::string::npos) << given_up[0].problem;
  EXPECT_FALSE(decoder.inside_frame());

  const auto next = decoder.feed(sim_test::status_frame);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_TRUE(next[0].valid);
}

}  // namespace
