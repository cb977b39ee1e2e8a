#include "serial/udev_description.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace serial {
namespace {

std::string property(const UdevTty& tty, const std::string& key) {
  const auto found = tty.properties.find(key);
  return found == tty.properties.end() ? std::string() : found->second;
}

std::string trimmed(std::string text) {
  const auto is_space = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(std::find_if_not(text.rbegin(), text.rend(), is_space).base(), text.end());
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), is_space));
  return text;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// udev's *_ENC values keep the device's text exactly, with "\x20" for a space and so on.
std::string decoded(std::string_view encoded) {
  std::string text;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x' &&
        hex_digit(encoded[i + 2]) >= 0 && hex_digit(encoded[i + 3]) >= 0) {
      text += static_cast<char>(hex_digit(encoded[i + 2]) * 16 + hex_digit(encoded[i + 3]));
      i += 3;
    } else {
      text += encoded[i];
    }
  }
  return text;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The device's own name for its product or maker; the hardware database's when the device
// names none (udev then puts the bare id, "1a86", in its place).
std::string readable_name(const UdevTty& tty, const std::string& key) {
  std::string own = trimmed(decoded(property(tty, key + "_ENC")));
  if (own.empty()) {
    // Without the exact form, udev's plain value stands for each space with an underscore.
    own = property(tty, key);
    std::replace(own.begin(), own.end(), '_', ' ');
    own = trimmed(own);
  }
  const std::string id = property(tty, key + "_ID");
  if (!own.empty() && (id.empty() || !same_ignoring_case(own, id))) return own;
  const std::string database = trimmed(property(tty, key + "_FROM_DATABASE"));
  return database.empty() ? own : database;
}

// The device the tty belongs to: its parent, past the serial core's own port devices
// ("serial-base", since Linux 6.5) that stand between a UART's tty and its bus device.
UdevAncestor owning_device(const UdevTty& tty) {
  for (const UdevAncestor& ancestor : tty.ancestors)
    if (ancestor.subsystem != "serial-base") return ancestor;
  return {};
}

std::string describe_usb_adapter(const UdevTty& tty) {
  const std::string product = readable_name(tty, "ID_MODEL");
  const std::string maker = readable_name(tty, "ID_VENDOR");
  std::string text = product;
  if (!maker.empty()) text += (text.empty() ? "" : " — ") + maker;
  if (text.empty()) text = "USB serial adapter";
  std::string driver = property(tty, "ID_USB_DRIVER");
  if (driver.empty()) driver = owning_device(tty).driver;
  if (!driver.empty()) text += " (" + driver + ")";
  const std::string serial_number = trimmed(property(tty, "ID_SERIAL_SHORT"));
  if (!serial_number.empty()) text += ", serial " + serial_number;
  return text;
}

// ttyS and ttyAMA on the machine's own buses (not on a PCI card or a USB adapter).
bool is_built_in_uart(const UdevTty& tty) {
  constexpr std::array<std::string_view, 2> families = {"ttyS", "ttyAMA"};
  constexpr std::array<std::string_view, 3> buses = {"platform", "pnp", "amba"};
  const bool uart_name = std::any_of(families.begin(), families.end(), [&](std::string_view f) {
    return std::string_view(tty.kernel_name).starts_with(f);
  });
  return uart_name &&
         std::find(buses.begin(), buses.end(), owning_device(tty).subsystem) != buses.end();
}

}  // namespace

std::string describe_udev_tty(const UdevTty& tty) {
  if (property(tty, "ID_BUS") == "usb") return describe_usb_adapter(tty);
  if (is_built_in_uart(tty)) return "built-in serial port";
  return {};
}

}  // namespace serial
