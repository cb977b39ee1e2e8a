// The log's fixed texts, hex text and the zero-byte cut of added lines.
#include "boot/log_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rig.h"

namespace boot_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(StatusMessages, EachCodeLogsItsText) {
  const std::vector<std::pair<std::uint8_t, std::string>> table = {
      {0, "Power ON DB Device [ESC to Abort]"},
      {1, "Wrong Boot Response!"},
      {2, "Dreambox Detected...Ok!"},
      {3, "Failed Open Com Port!"},
      {4, "User Abort!"},
      {5, "Boot Not Accepted!"},
  };
  for (const auto& [code, text] : table) {
    Trace trace;
    RecordingPanel panel(trace);
    boot::log_status_message(panel, code);
    EXPECT_THAT(panel.log, ElementsAre(text)) << "code " << int{code};
  }
}

TEST(StatusMessages, CodesOutsideTheTableAddNothing) {
  Trace trace;
  RecordingPanel panel(trace);
  for (int code = 6; code <= 255; ++code) {
    boot::log_status_message(panel, static_cast<std::uint8_t>(code));
  }
  EXPECT_THAT(panel.log, IsEmpty());
  EXPECT_EQ(boot::status_message_text(6), "");
}

TEST(HexText, TwoUpperCaseDigitsPerByte) {
  const std::vector<std::pair<serial::Bytes, std::string>> table = {
      {{0xE0, 0x0D, 0x44}, "E00D44"},
      {{}, ""},
      {{0x00, 0x00}, "0000"},
      {{0xAB, 0xcd, 0xFF, 0x01, 0x10}, "ABCDFF0110"},
  };
  for (const auto& [bytes, text] : table) EXPECT_EQ(boot::hex_text(bytes), text);
}

TEST(HexText, LabelledLinesShowZeroBytesToo) {
  const serial::Bytes bytes = {0x44, 0x00, 0x4D};
  EXPECT_EQ(boot::labelled_hex_line(boot::hw_id_label, bytes), "HW ID: [44004D]");
  EXPECT_EQ(boot::labelled_hex_line(boot::data1_label, {}), "Data1: []");
  EXPECT_EQ(boot::labelled_hex_line(boot::data2_label, bytes), "Data2: [44004D]");
}

TEST(AddLine, TextEndsAtItsFirstZeroByte) {
  const std::vector<std::pair<serial::Bytes, std::string>> table = {
      {bytes_of("plain"), "plain"},
      {{'a', 'b', 0x00, 'c'}, "ab"},
      {{0x00, 'x'}, ""},
      {{}, ""},
      {bytes_of("two\r\nlines\rlone"), "two\r\nlines\rlone"},
      {{0xE0, 'x'}, "\xE0x"},
  };
  for (const auto& [bytes, text] : table) {
    Trace trace;
    RecordingPanel panel(trace);
    boot::add_line(panel, bytes);
    boot::add_line(panel,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    EXPECT_THAT(panel.log, ElementsAre(text, text));
  }
}

}  // namespace
}  // namespace boot_test
