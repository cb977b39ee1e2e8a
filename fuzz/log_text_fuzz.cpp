// The log's rules: a line ends at its first zero byte, received bytes show as hex text, a
// status message exists only for the numbers in its table, the gauge stays within 0..100.
// Input: the status message number, eight bytes for the gauge's done and total, then the
// bytes that reach the log.

#include <string>

#include "boot/log_text.h"
#include "fuzz_input.h"
#include "recording_panel.h"

namespace {

using fuzz::require;

std::uint32_t four_bytes(fuzz::InputReader& input) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | input.byte();
  return value;
}

int hex_value(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

void check_lines(const fuzz::Bytes& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  const std::string up_to_zero = text.substr(0, text.find('\0'));

  boot_test::Trace trace;
  boot_test::RecordingPanel panel(trace);
  boot::add_line(panel, std::string_view(text));
  boot::add_line(panel, serial::ByteView(bytes));
  require(panel.log.size() == 2, "each add_line adds exactly one line");
  require(panel.log[0] == up_to_zero, "a text line ends at its first zero byte");
  require(panel.log[1] == up_to_zero, "a byte line ends at its first zero byte");
}

void check_hex(const fuzz::Bytes& bytes) {
  const std::string hex = boot::hex_text(bytes);
  require(hex.size() == 2 * bytes.size(), "two hex digits per byte");
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = hex_value(hex[2 * i]), low = hex_value(hex[2 * i + 1]);
    require(high >= 0 && low >= 0, "hex text is upper-case digits only");
    require(high * 16 + low == bytes[i], "hex text reads back as the bytes");
  }
  require(boot::labelled_hex_line(boot::data2_label, bytes) ==
              std::string(boot::data2_label) + hex + "]",
          "a labelled line is label, hex text, ]");
}

void check_status_message(std::uint8_t code) {
  boot_test::Trace trace;
  boot_test::RecordingPanel panel(trace);
  boot::log_status_message(panel, code);
  const bool in_table = code < 6;
  require(boot::status_message_text(code).empty() != in_table,
          "a status message has text exactly when its number is in the table");
  require(panel.log.size() == (in_table ? 1u : 0u), "only a message in the table is logged");
  if (in_table) require(panel.log[0] == boot::status_message_text(code), "logged as its text");
}

void check_progress(std::uint32_t done, std::uint32_t total) {
  const int percent = boot::progress_percent(done, total);
  require(percent >= 0 && percent <= 100, "the gauge stays within 0..100");
  if (total == 0 || done >= total) require(percent == 100, "all sent is 100");
  if (done == 0 && total > 0) require(percent == 0, "nothing sent is 0");
  if (done < total) {
    require(boot::progress_percent(done + 1, total) >= percent, "the gauge never goes back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputReader input(data, size);
  check_status_message(input.byte());
  const std::uint32_t done = four_bytes(input);
  check_progress(done, four_bytes(input));
  fuzz::Bytes rest;
  while (!input.empty()) rest.push_back(input.byte());
  check_lines(rest);
  check_hex(rest);
  return 0;
}
