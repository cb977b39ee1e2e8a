#include "boot/log_text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace boot {

namespace {

constexpr std::array<std::string_view, 6> status_messages = {
    "Power ON DB Device [ESC to Abort]",
    "Wrong Boot Response!",
    "Dreambox Detected...Ok!",
    "Failed Open Com Port!",
    "User Abort!",
    "Boot Not Accepted!",
};

}  // namespace

std::string_view status_message_text(std::uint8_t code) {
  return code < status_messages.size() ? status_messages[code] : std::string_view{};
}

void log_status_message(Panel& panel, std::uint8_t code) {
  if (code < status_messages.size()) panel.append_log_line(status_message_text(code));
}

void log_status_message(Panel& panel, StatusMessage message) {
  log_status_message(panel, static_cast<std::uint8_t>(message));
}

void add_line(Panel& panel, std::string_view text) {
  // The log pane holds zero-terminated text: whatever follows a zero byte never shows.
  panel.append_log_line(text.substr(0, text.find('\0')));
}

void add_line(Panel& panel, serial::ByteView bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  std::string text(bytes.begin(), end);
  panel.append_log_line(text);
}

std::string hex_text(serial::ByteView bytes) {
  constexpr std::string_view digits = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

std::string labelled_hex_line(std::string_view label, serial::ByteView bytes) {
  std::string line(label);
  line += hex_text(bytes);
  line += ']';
  return line;
}

void add_labelled_hex_line(Panel& panel, std::string_view label, serial::ByteView bytes) {
  panel.append_log_line(labelled_hex_line(label, bytes));
}

int progress_percent(std::uint32_t done, std::uint32_t total) {
  if (total == 0) return 100;
  // The default rounding mode rounds halves to the even neighbour, as the gauge expects.
  const double percent =
      std::nearbyint(static_cast<double>(done) / static_cast<double>(total) * 100.0);
  return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

void show_progress(Panel& panel, std::uint32_t done, std::uint32_t total) {
  panel.set_progress(progress_percent(done, total));
}

void reset_progress(Panel& panel) {
  panel.set_progress(0);
}

}  // namespace boot
