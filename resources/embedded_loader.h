#pragma once
// The loader image bytes, in a source file the build generates (loader_tool).

#include <cstddef>
#include <cstdint>

namespace resources::embedded {

extern const std::uint8_t loader_bytes[];
extern const std::size_t loader_size;
extern const char loader_description[];
extern const bool loader_is_stand_in;  // generated here, not supplied at build time

}  // namespace resources::embedded
