#pragma once
// The loader's reader for "DM" frames: magic 44 4D, a big-endian 16-bit length counting the
// whole frame, the command, the payload, and a check byte that XORs every byte before it.
// Bytes may come in any pieces; a broken frame is reported and the reader picks up again
// at the next "DM" after the broken frame's magic.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/record.h"

namespace sim {

class FrameDecoder {
 public:
  // No frame of this loader is longer; a bigger length field means a garbled frame.
  static constexpr std::size_t max_frame_length = 1024;
  static constexpr std::size_t min_frame_length = 6;  // magic, length, command, check

  // Takes received bytes; returns the frames completed by them, good and bad.
  std::vector<DecodedFrame> feed(std::span<const std::uint8_t> bytes);
  // The line went quiet in the middle of a frame: give it up.
  std::vector<DecodedFrame> give_up_incomplete();
  bool inside_frame() const;

 private:
  std::vector<DecodedFrame> decode_buffered();
  void skip_broken_frame();

  Bytes buffer_;
};

}  // namespace sim
