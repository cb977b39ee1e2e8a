// The words for the adapter behind a port: from udev's facts (fixtures as udev reports real
// adapters; there is no USB adapter here), and from the real system for what is here.

#include <gtest/gtest.h>

#include <vector>

#include "pty_pair.h"
#include "serial/port_scan.h"
#include "serial/udev_description.h"

namespace serial {
namespace {

struct DescriptionCase {
  const char* name;
  UdevTty tty;
  const char* description;
};

void PrintTo(const DescriptionCase& c, std::ostream* out) {
  *out << c.name;
}

class UdevDescription : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(UdevDescription, NamesTheAdapter) {
  EXPECT_EQ(describe_udev_tty(GetParam().tty), GetParam().description);
}

// Ancestor chains as sysfs has them, the parent first.
std::vector<UdevAncestor> behind_usb_serial(const char* driver) {
  return {
      {"usb-serial", driver}, {"usb", driver}, {"usb", "usb"}, {"usb", "usb"}, {"pci", "xhci_hcd"}};
}
const std::vector<UdevAncestor> behind_pnp = {{"pnp", "serial"}};
// Linux 6.5 and later put the serial core's port devices between a UART's tty and its bus.
const std::vector<UdevAncestor> behind_serial_base_then_pnp = {
    {"serial-base", "port"}, {"serial-base", "ctrl"}, {"pnp", "serial"}};

INSTANTIATE_TEST_SUITE_P(
    Adapters, UdevDescription,
    ::testing::Values(
        DescriptionCase{
            "ftdi",
            {"ttyUSB0",
             {{"ID_BUS", "usb"},
              {"ID_VENDOR", "FTDI"},
              {"ID_VENDOR_ENC", "FTDI"},
              {"ID_VENDOR_ID", "0403"},
              {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"},
              {"ID_MODEL", "FT232R_USB_UART"},
              {"ID_MODEL_ENC", "FT232R\\x20USB\\x20UART"},
              {"ID_MODEL_ID", "6001"},
              {"ID_MODEL_FROM_DATABASE", "FT232 Serial (UART) IC"},
              {"ID_SERIAL_SHORT", "A50285BI"},
              {"ID_USB_DRIVER", "ftdi_sio"}},
             behind_usb_serial("ftdi_sio")},
            "FT232R USB UART — FTDI (ftdi_sio), serial A50285BI"},
        // The device names only its ids: the hardware database names it.
        DescriptionCase{"ids_only",
                        {"ttyUSB1",
                         {{"ID_BUS", "usb"},
                          {"ID_VENDOR", "1a86"},
                          {"ID_VENDOR_ENC", "1a86"},
                          {"ID_VENDOR_ID", "1a86"},
                          {"ID_VENDOR_FROM_DATABASE", "QinHeng Electronics"},
                          {"ID_MODEL", "7523"},
                          {"ID_MODEL_ENC", "7523"},
                          {"ID_MODEL_ID", "7523"},
                          {"ID_MODEL_FROM_DATABASE", "CH340 serial converter"},
                          {"ID_USB_DRIVER", "ch341"}},
                         behind_usb_serial("ch341")},
                        "CH340 serial converter — QinHeng Electronics (ch341)"},
        // Only the plain values: udev's underscores stand for spaces.
        DescriptionCase{
            "plain_values",
            {"ttyUSB2",
             {{"ID_BUS", "usb"},
              {"ID_VENDOR", "Silicon_Labs"},
              {"ID_MODEL", "CP2102_USB_to_UART_Bridge_Controller"},
              {"ID_SERIAL_SHORT", "0001"},
              {"ID_USB_DRIVER", "cp210x"}},
             behind_usb_serial("cp210x")},
            "CP2102 USB to UART Bridge Controller — Silicon Labs (cp210x), serial 0001"},
        // The exact form keeps an underscore that is part of the name.
        DescriptionCase{"real_underscore",
                        {"ttyUSB3",
                         {{"ID_BUS", "usb"},
                          {"ID_MODEL", "USB_UART_v2"},
                          {"ID_MODEL_ENC", "USB_UART\\x20v2"},
                          {"ID_USB_DRIVER", "pl2303"}},
                         behind_usb_serial("pl2303")},
                        "USB_UART v2 (pl2303)"},
        // A CDC ACM board: no ID_USB_DRIVER, the driver is the parent interface's.
        DescriptionCase{"cdc_acm",
                        {"ttyACM0",
                         {{"ID_BUS", "usb"},
                          {"ID_VENDOR", "Arduino__www.arduino.cc_"},
                          {"ID_VENDOR_ENC", "Arduino\\x20\\x28www.arduino.cc\\x29"},
                          {"ID_VENDOR_ID", "2341"},
                          {"ID_MODEL", "0043"},
                          {"ID_MODEL_ENC", "0043"},
                          {"ID_MODEL_ID", "0043"},
                          {"ID_MODEL_FROM_DATABASE", "Uno R3 (CDC ACM)"},
                          {"ID_SERIAL_SHORT", "75735323"}},
                         {{"usb", "cdc_acm"}, {"usb", "usb"}}},
                        "Uno R3 (CDC ACM) — Arduino (www.arduino.cc) (cdc_acm), serial 75735323"},
        // Read from sysfs without udev's database: raw texts, trailing blanks and all.
        DescriptionCase{"from_sysfs",
                        {"ttyUSB0",
                         {{"ID_BUS", "usb"},
                          {"ID_VENDOR_ENC", "Prolific Technology Inc. "},
                          {"ID_VENDOR_ID", "067b"},
                          {"ID_MODEL_ENC", "USB-Serial Controller"},
                          {"ID_MODEL_ID", "2303"},
                          {"ID_SERIAL_SHORT", ""},
                          {"ID_USB_DRIVER", "pl2303"}},
                         behind_usb_serial("pl2303")},
                        "USB-Serial Controller — Prolific Technology Inc. (pl2303)"},
        DescriptionCase{"usb_without_names",
                        {"ttyUSB4", {{"ID_BUS", "usb"}}, behind_usb_serial("ftdi_sio")},
                        "USB serial adapter (ftdi_sio)"},
        DescriptionCase{"pc_com_port", {"ttyS0", {}, behind_pnp}, "built-in serial port"},
        DescriptionCase{"pc_com_port_new_kernel",
                        {"ttyS0", {}, behind_serial_base_then_pnp},
                        "built-in serial port"},
        DescriptionCase{
            "board_uart", {"ttyAMA0", {}, {{"amba", "uart-pl011"}}}, "built-in serial port"},
        DescriptionCase{
            "platform_uart", {"ttyS1", {}, {{"platform", "serial8250"}}}, "built-in serial port"},
        DescriptionCase{"pci_card", {"ttyS4", {{"ID_BUS", "pci"}}, {{"pci", "serial"}}}, ""},
        DescriptionCase{"bluetooth", {"rfcomm0", {}, {}}, ""},
        DescriptionCase{"usb_name_on_pnp", {"ttyUSB0", {}, behind_pnp}, ""},
        DescriptionCase{"uart_name_without_bus", {"ttyS5", {}, {}}, ""}),
    [](const auto& test) { return std::string(test.param.name); });

// What is here: a pseudo-terminal, no device, no name; none of them has an adapter behind it.
TEST(DescribePort, NothingWhereTheSystemKnowsNoAdapter) {
  const testing::PtyPair pty;
  for (const std::string& name : {pty.slave_path(), std::string("/dev/pellora-no-such-port"),
                                  std::string("/dev/null"), std::string()})
    EXPECT_EQ(describe_port(name), "") << name;
}

}  // namespace
}  // namespace serial
