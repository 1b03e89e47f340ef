// Big-endian numbers in bytes, as MPEG and ID3 store them. Bytes past the
// span read as zero, like every other read from a span.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

// The unsigned number in the `width` bytes (at most 4) at offset.
constexpr uint32_t big_endian(ByteSpan bytes, std::size_t offset, std::size_t width) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes.at(offset + i);
    return value;
}

constexpr uint32_t big_endian32(ByteSpan bytes, std::size_t offset) {
    return big_endian(bytes, offset, 4);
}

// Four 7-bit groups, most significant first (ID3v2 sizes).
constexpr uint32_t syncsafe32(ByteSpan bytes, std::size_t offset) {
    return (uint32_t{bytes.at(offset)} & 0x7F) << 21 | (uint32_t{bytes.at(offset + 1)} & 0x7F) << 14 |
           (uint32_t{bytes.at(offset + 2)} & 0x7F) << 7 | (uint32_t{bytes.at(offset + 3)} & 0x7F);
}

}  // namespace velkor
