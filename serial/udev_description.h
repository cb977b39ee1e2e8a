#pragma once
// The words for the adapter behind a Linux tty device, from what udev knows of it.

#include <map>
#include <string>
#include <vector>

namespace serial {

// A device above the tty in the device tree.
struct UdevAncestor {
  std::string subsystem;  // "usb-serial", "usb", "serial-base", "platform", "pnp", ...
  std::string driver;     // "ftdi_sio"; empty when none is bound
};

struct UdevTty {
  std::string kernel_name;                        // "ttyUSB0"
  std::map<std::string, std::string> properties;  // ID_VENDOR, ID_MODEL_FROM_DATABASE, ...
  std::vector<UdevAncestor> ancestors;            // the parent first
};

// "FT232R USB UART — FTDI (ftdi_sio), serial A50285BI" for a USB adapter (the device's own
// names, or the hardware database's where the device gives only its ids);
// "built-in serial port" for a UART of the machine itself; empty for anything else.
std::string describe_udev_tty(const UdevTty& tty);

}  // namespace serial
