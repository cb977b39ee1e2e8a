#pragma once
// The loader image the program carries, embedded at build time.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace resources {

// The program's RCDATA resource of that name, matched regardless of case; nullopt when the
// program has none.
std::optional<std::span<const std::uint8_t>> find_rcdata(std::string_view name);

// Whether the embedded image is the generated stand-in rather than one supplied at build time.
bool embedded_loader_is_stand_in();

// One line for --version: the stand-in, or a supplied image with its size and CRC.
std::string loader_image_description();

}  // namespace resources
