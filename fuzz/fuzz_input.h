#pragma once
// What every fuzz target shares: its input taken apart into a few control bytes and then
// pieces (one length byte, then that many bytes; the last piece may be cut short), and a
// check that stops the run, so libFuzzer keeps the input, when something that must hold
// does not.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

  bool empty() const { return rest_.empty(); }
  // The next byte, or 0 once the input is used up.
  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const std::uint8_t value = rest_.front();
    rest_ = rest_.subspan(1);
    return value;
  }
  Bytes piece() {
    const std::size_t size = std::min<std::size_t>(byte(), rest_.size());
    Bytes bytes(rest_.begin(), rest_.begin() + static_cast<std::ptrdiff_t>(size));
    rest_ = rest_.subspan(size);
    return bytes;
  }
  std::vector<Bytes> pieces() {
    std::vector<Bytes> all;
    while (!rest_.empty()) all.push_back(piece());
    return all;
  }

 private:
  std::span<const std::uint8_t> rest_;
};

inline void require(bool holds, std::string_view what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

inline bool contains(std::span<const std::uint8_t> bytes, std::string_view text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

}  // namespace fuzz
