#include "sim/frame_decoder.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace sim {
namespace {

constexpr std::uint8_t magic[] = {0x44, 0x4D};

std::size_t length_field(const Bytes& frame) {
  return static_cast<std::size_t>(frame[2]) << 8 | frame[3];
}

}  // namespace

std::vector<DecodedFrame> FrameDecoder::feed(std::span<const std::uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return decode_buffered();
}

bool FrameDecoder::inside_frame() const {
  return !buffer_.empty();
}

void FrameDecoder::skip_broken_frame() {
  // The broken frame's own bytes may hold the next good frame: look again after its magic.
  buffer_.erase(buffer_.begin(), buffer_.begin() + 2);
}

std::vector<DecodedFrame> FrameDecoder::decode_buffered() {
  std::vector<DecodedFrame> frames;
  for (;;) {
    // Bytes between frames are noise; keep a lone trailing 44, it may start a magic.
    auto start = std::search(buffer_.begin(), buffer_.end(), std::begin(magic), std::end(magic));
    if (start == buffer_.end() && !buffer_.empty() && buffer_.back() == magic[0]) --start;
    buffer_.erase(buffer_.begin(), start);
    if (buffer_.size() < 4) return frames;

    const std::size_t length = length_field(buffer_);
    if (length < min_frame_length || length > max_frame_length) {
      DecodedFrame bad;
      bad.problem = "length field " + std::to_string(length) + " is outside " +
                    std::to_string(min_frame_length) + ".." + std::to_string(max_frame_length);
      frames.push_back(std::move(bad));
      skip_broken_frame();
      continue;
    }
    if (buffer_.size() < length) return frames;

    DecodedFrame frame;
    frame.command = buffer_[4];
    frame.payload.assign(buffer_.begin() + 5, buffer_.begin() + static_cast<long>(length) - 1);
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < length; ++i) check ^= buffer_[i];
    const std::uint8_t sent_check = buffer_[length - 1];
    if (check == sent_check) {
      frame.valid = true;
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(length));
    } else {
      char text[64];
      std::snprintf(text, sizeof text, "check byte %02X, expected %02X", sent_check, check);
      frame.problem = text;
      skip_broken_frame();
    }
    frames.push_back(std::move(frame));
  }
}

std::vector<DecodedFrame> FrameDecoder::give_up_incomplete() {
  std::vector<DecodedFrame> frames;
  if (buffer_.size() < 2) {
    buffer_.clear();  // a lone 44 that never became a magic
    return frames;
  }
  DecodedFrame cut;
  if (buffer_.size() >= 5) cut.command = buffer_[4];
  cut.problem = "incomplete: " + std::to_string(buffer_.size()) + " bytes" +
                (buffer_.size() >= 4 ? " of " + std::to_string(length_field(buffer_)) : "");
  frames.push_back(std::move(cut));
  skip_broken_frame();
  auto rest = decode_buffered();
  frames.insert(frames.end(), rest.begin(), rest.end());
  return frames;
}

}  // namespace sim
