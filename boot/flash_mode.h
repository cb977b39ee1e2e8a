#pragma once
// Flash Mode: answer the boot ROM, have it accept the loader, upload it, and ask the
// running loader whether the box is alive. Two stages, called in turn by the driver.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

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

// The reads after the upload, by what they are for.
inline constexpr std::size_t rom_chatter_read_size = 100;  // dropped before the frames
inline constexpr std::size_t speed_reply_read_size = 30;
inline constexpr std::size_t status_reply_read_size = 80;
inline constexpr std::size_t after_success_read_size = 200;  // the rest of the reply, dropped

// The fixed pauses; the window processes no messages during them.
inline constexpr std::chrono::milliseconds rom_prepare_pause{1650};   // after the start reply
inline constexpr std::chrono::milliseconds loader_start_pause{800};   // after the upload
inline constexpr std::chrono::milliseconds loader_settle_pause{700};  // before the frames

// The banner watch with its "HW ID: [" line, then the "dream" / "ok" greeting and the start
// command, up to the boot ROM's "loading instr. file".
bool flash_handshake(Dialogue& dialogue);

// Sends the loader image (when there is one), then the speed and status frames; a status
// reply with "client: ok" is a good boot.
bool flash_upload_and_check(Dialogue& dialogue, const std::optional<LoaderImage>& loader);

}  // namespace boot
