#pragma once
// The loader image bytes, in a source file the build generates (loader_tool).

#include <cstddef>
#include <cstdint>

namespace resources::embedded {

extern const std::uint8_t loader_bytes[];
extern const std::size_t loader_size;
extern const char loader_description[];

}  // namespace resources::embedded
