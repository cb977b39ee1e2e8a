#include "cli/console.h"

namespace cli {

bool holds_escape_key(std::span<const std::uint8_t> keys) {
  constexpr std::uint8_t esc = 0x1B;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] != esc) continue;
    const bool starts_sequence = i + 1 < keys.size() && (keys[i + 1] == '[' || keys[i + 1] == 'O');
    if (!starts_sequence) return true;
  }
  return false;
}

}  // namespace cli
