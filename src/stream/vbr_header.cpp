// Decoding of the Xing and VBRI headers: magic and frame count.
#include "stream/vbr_header.h"

#include "base/big_endian.h"

namespace velkor {

namespace {

constexpr uint8_t kXingMagic[4] = {'X', 'i', 'n', 'g'};
constexpr uint8_t kVbriMagic[4] = {'V', 'B', 'R', 'I'};
constexpr uint32_t kFlagFrameCount = 1;
constexpr std::size_t kVbriFramesOffset = 14;  // behind magic, version, delay, quality, bytes

bool has_magic(ByteSpan bytes, const uint8_t (&magic)[4]) {
    for (std::size_t i = 0; i < sizeof magic; ++i) {
        if (bytes.at(i) != magic[i]) return false;
    }
    return true;
}

}  // namespace

int32_t VbrHeader::parse(ByteSpan bytes) {
    frames_ = -1;
    kind_ = Kind::kNone;
    if (!has_magic(bytes, kXingMagic)) return 0;
    kind_ = Kind::kXing;
    if (big_endian32(bytes, 4) & kFlagFrameCount) {
        // Stored as the signed field it is declared as: a count with its top
        // bit set reads as negative, and the figures treat it as absent.
        frames_ = static_cast<int32_t>(big_endian32(bytes, 8));
    }
    return 1;
}

int32_t VbrHeader::parse_vbri(ByteSpan bytes) {
    frames_ = -1;
    kind_ = Kind::kNone;
    if (!has_magic(bytes, kVbriMagic)) return 0;
    kind_ = Kind::kVbri;
    frames_ = static_cast<int32_t>(big_endian32(bytes, kVbriFramesOffset));
    return 1;
}

}  // namespace velkor
