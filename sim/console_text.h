#pragma once
// What the box's own firmware prints on its console once it has booted without the tool.

#include <array>
#include <string_view>

namespace sim::console_text {

inline constexpr std::array<std::string_view, 9> boot_lines = {
    "\r\n",
    "dm500 boot: loading kernel from flash... done\r\n",
    "Linux version 2.6.12 (builder@dm500) #1 PREEMPT\r\n",
    "CPU: PowerPC 405 at 252 MHz, 32 MB RAM\r\n",
    "flash: 8 MB NOR, 64 sectors of 128 KB\r\n",
    "tuner: frontend found, DVB-S\r\n",
    "eth0: link up, 100 Mbit/s full duplex\r\n",
    "starting system services... done\r\n",
    "\r\nwelcome to the dm500 console\r\n",
};

inline constexpr std::string_view prompt = "\r\ndm500 login: ";

// Lines the running firmware prints now and then, taken in turn.
inline constexpr std::array<std::string_view, 3> idle_lines = {
    "\r\ntuner: no signal on input A\r\n",
    "\r\nepg: 0 events cached\r\n",
    "\r\neth0: no DHCP offer yet, retrying\r\n",
};

}  // namespace sim::console_text
