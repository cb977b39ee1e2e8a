#pragma once
// Flash Mode: answer the boot ROM, have it accept the loader, upload it, and ask the
// running loader whether the box is alive. Two stages, called in turn by the driver.

#include <array>
#include <cstdint>
#include <string_view>

#include "boot/boot_check.h"
#include "boot/dialogue.h"

namespace boot {

inline constexpr std::array<std::uint8_t, 5> greeting = {'d', 'r', 'e', 'a', 'm'};
inline constexpr std::array<std::uint8_t, 4> greeting_reply = {'o', 'k', 0x0A, 0x0D};
// "G4", four zero bytes, A8, "$".
inline constexpr std::array<std::uint8_t, 8> start_command = {'G',  '4',  0x00, 0x00,
                                                              0x00, 0x00, 0xA8, '$'};
inline constexpr std::string_view start_reply = "loading instr. file";
inline constexpr std::size_t upload_piece_size = 1024;
inline constexpr std::string_view speed_reply_mark = "setting baudrate to 115200";
inline constexpr std::string_view status_reply_mark = "client: ok";

// The banner watch with its "HW ID: [" line, then the "dream" / "ok" greeting and the start
// command, up to the boot ROM's "loading instr. file".
bool flash_handshake(Dialogue& dialogue);

// Sends the loader image (when the program carries one), then the speed and status frames;
// a status reply with "client: ok" is a good boot.
bool flash_upload_and_check(Dialogue& dialogue, LoaderImage loader_image);

}  // namespace boot
