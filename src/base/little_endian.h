// Little-endian numbers in bytes, as APE tags and RIFF chunks store them.
// Bytes past the span read as zero, like every other read from a span.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

constexpr uint32_t little_endian16(ByteSpan bytes, std::size_t offset) {
    return uint32_t{bytes.at(offset)} | uint32_t{bytes.at(offset + 1)} << 8;
}

constexpr uint32_t little_endian32(ByteSpan bytes, std::size_t offset) {
    return little_endian16(bytes, offset) | little_endian16(bytes, offset + 2) << 16;
}

}  // namespace velkor
