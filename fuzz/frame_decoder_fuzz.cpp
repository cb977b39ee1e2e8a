// The simulated loader's frame reader fed arbitrary bytes in arbitrary pieces. Every frame
// it calls good must stand in the input as sent, with its check byte right; every other
// one must say what is wrong. Fed without give-ups, the pieces must not matter: the same
// bytes in one piece give the same frames. Input: a byte of give-up choices (bit n: give up
// the incomplete frame after piece n), then the pieces.

#include <string>

#include "fuzz_input.h"
#include "sim/frame_decoder.h"

namespace {

using fuzz::require;

fuzz::Bytes encoded(const sim::DecodedFrame& frame) {
  const std::size_t length = frame.payload.size() + sim::FrameDecoder::min_frame_length;
  fuzz::Bytes bytes = {0x44, 0x4D, static_cast<std::uint8_t>(length >> 8),
                       static_cast<std::uint8_t>(length & 0xFF), frame.command};
  bytes.insert(bytes.end(), frame.payload.begin(), frame.payload.end());
  std::uint8_t check = 0;
  for (const std::uint8_t byte : bytes) check ^= byte;
  bytes.push_back(check);
  return bytes;
}

bool same(const std::vector<sim::DecodedFrame>& a, const std::vector<sim::DecodedFrame>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].valid != b[i].valid || a[i].command != b[i].command || a[i].payload != b[i].payload ||
        a[i].problem != b[i].problem)
      return false;
  }
  return true;
}

void check_frames(const std::vector<sim::DecodedFrame>& frames, const fuzz::Bytes& stream) {
  for (const sim::DecodedFrame& frame : frames) {
    if (!frame.valid) {
      require(!frame.problem.empty(), "a broken frame says what is wrong");
      continue;
    }
    require(frame.problem.empty(), "a good frame has no problem");
    require(frame.payload.size() + sim::FrameDecoder::min_frame_length <=
                sim::FrameDecoder::max_frame_length,
            "a good frame is no longer than the longest");
    const fuzz::Bytes bytes = encoded(frame);
    require(std::search(stream.begin(), stream.end(), bytes.begin(), bytes.end()) != stream.end(),
            "a good frame stands in the input as sent");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputReader input(data, size);
  const std::uint8_t give_ups = input.byte();
  const std::vector<fuzz::Bytes> pieces = input.pieces();

  sim::FrameDecoder decoder;
  std::vector<sim::DecodedFrame> frames;
  fuzz::Bytes stream;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    stream.insert(stream.end(), pieces[i].begin(), pieces[i].end());
    auto more = decoder.feed(pieces[i]);
    frames.insert(frames.end(), more.begin(), more.end());
    if (i < 8 && (give_ups >> i & 1)) {
      more = decoder.give_up_incomplete();
      frames.insert(frames.end(), more.begin(), more.end());
      require(!decoder.inside_frame() || decoder.feed({}).empty(),
              "after a give-up nothing decodable is left waiting");
    }
  }
  check_frames(frames, stream);

  if (give_ups == 0) {
    sim::FrameDecoder whole;
    require(same(whole.feed(stream), frames), "the pieces do not change the frames");
  }
  return 0;
}
