#pragma once
// What the dialogue shows: the log's fixed texts, the two ways received bytes reach it (as
// hex text in a labelled line, or unchanged as a line of console text), and the upload gauge.

#include <cstdint>
#include <string>
#include <string_view>

#include "boot/panel.h"
#include "serial/port.h"

namespace boot {

// The six status messages, by their number in the table.
enum class StatusMessage : std::uint8_t {
  power_on = 0,              // "Power ON DB Device [ESC to Abort]"
  wrong_boot_response = 1,   // "Wrong Boot Response!"
  dreambox_detected = 2,     // "Dreambox Detected...Ok!"
  failed_open_com_port = 3,  // "Failed Open Com Port!"
  user_abort = 4,            // "User Abort!"
  boot_not_accepted = 5,     // "Boot Not Accepted!"
};

// The text of status message code; empty for a number outside the table (6..255).
std::string_view status_message_text(std::uint8_t code);

// Adds the table's text for code as one line; codes outside the table add nothing.
void log_status_message(Panel& panel, std::uint8_t code);
void log_status_message(Panel& panel, StatusMessage message);

// Adds text as one line, taken only up to its first zero byte (the panel adds CR LF).
void add_line(Panel& panel, std::string_view text);
void add_line(Panel& panel, serial::ByteView bytes);

// Two upper-case hex digits per byte, no separator: E0 0D 44 -> "E00D44".
std::string hex_text(serial::ByteView bytes);

// Labels of the lines that show received bytes in hex.
inline constexpr std::string_view hw_id_label = "HW ID: [";
inline constexpr std::string_view data1_label = "Data1: [";
inline constexpr std::string_view data2_label = "Data2: [";

// label + hex text + "]".
std::string labelled_hex_line(std::string_view label, serial::ByteView bytes);
void add_labelled_hex_line(Panel& panel, std::string_view label, serial::ByteView bytes);

// The plain lines of a Flash Mode run.
inline constexpr std::string_view sending_flash_loader_line = "Sending Flash Loader...";
inline constexpr std::string_view settings_baudrate_ok_line = "Settings Baudrate Ok!!";
inline constexpr std::string_view boot_success_line = "Boot Success!";
inline constexpr std::string_view flash_chip_good_line = "-Flash Chip Status Good !";
inline constexpr std::string_view alive_line = "-Boot Success & Alive !";
inline constexpr std::string_view no_jtag_line = "-No Need For JTAG !";

// done / total * 100 in floating point, rounded to nearest with halves to even, kept within
// 0..100. With nothing to send (total 0) the upload is complete: 100.
int progress_percent(std::uint32_t done, std::uint32_t total);

void show_progress(Panel& panel, std::uint32_t done, std::uint32_t total);
void reset_progress(Panel& panel);

}  // namespace boot
