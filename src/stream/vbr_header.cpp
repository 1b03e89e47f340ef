// Decoding of the Xing header: its magic, flags and frame count.
#include "stream/vbr_header.h"

namespace velkor {

namespace {

constexpr uint8_t kMagic[4] = {'X', 'i', 'n', 'g'};
constexpr uint32_t kFlagFrameCount = 1;

uint32_t big_endian32(ByteSpan bytes, std::size_t offset) {
    return (uint32_t{bytes.at(offset)} << 24) | (uint32_t{bytes.at(offset + 1)} << 16) |
           (uint32_t{bytes.at(offset + 2)} << 8) | uint32_t{bytes.at(offset + 3)};
}

}  // namespace

int32_t VbrHeader::parse(ByteSpan bytes) {
    frames_ = -1;
    for (std::size_t i = 0; i < sizeof kMagic; ++i) {
        if (bytes.at(i) != kMagic[i]) return 0;
    }
    if (big_endian32(bytes, 4) & kFlagFrameCount) {
        // Stored as the signed field it is declared as: a count with its top
        // bit set reads as negative, and the figures treat it as absent.
        frames_ = static_cast<int32_t>(big_endian32(bytes, 8));
    }
    return 1;
}

}  // namespace velkor
