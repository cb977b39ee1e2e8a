#include "resources/loader_image.h"

#include <algorithm>
#include <cctype>

#include "resources/embedded_loader.h"

namespace resources {

namespace {

constexpr std::string_view loader_resource_name = "dmboot";

// Resource names match regardless of case, as the system's resource lookup does.
bool same_name(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<std::span<const std::uint8_t>> find_rcdata(std::string_view name) {
  if (!same_name(name, loader_resource_name)) return std::nullopt;
  return std::span<const std::uint8_t>(embedded::loader_bytes, embedded::loader_size);
}

bool embedded_loader_is_stand_in() {
  return embedded::loader_is_stand_in;
}

std::string loader_image_description() {
  return embedded::loader_description;
}

}  // namespace resources
