// Decoding the Xing/Info header with the encoder's tag, and VBRI.
#include "stream/vbr_info.h"

#include <cstring>

#include "base/big_endian.h"

namespace velkor {

namespace {

constexpr uint32_t kFlagFrames = 1, kFlagBytes = 2, kFlagToc = 4, kFlagQuality = 8;
constexpr std::size_t kTocSize = 100;
constexpr std::size_t kDelayAt = 21;  // in the encoder's tag: 12 bits delay, 12 bits padding
constexpr std::size_t kVbriFramesAt = 14;

bool magic_at(ByteSpan bytes, std::size_t at, const char* magic) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (bytes.at(at + i) != static_cast<uint8_t>(magic[i])) return false;
    }
    return true;
}

// Encoders whose tag carries delay and padding where LAME puts them.
bool known_encoder(const char* name) {
    return std::strncmp(name, "LAME", 4) == 0 || std::strncmp(name, "Lavf", 4) == 0 ||
           std::strncmp(name, "Lavc", 4) == 0;
}

}  // namespace

VbrInfo read_vbr_info(ByteSpan frame, const FrameHeader& header) {
    VbrInfo info;
    const auto xing = static_cast<std::size_t>(header.xing_offset());
    const bool is_xing = magic_at(frame, xing, "Xing");
    if (is_xing || magic_at(frame, xing, "Info")) {
        info.kind = is_xing ? VbrHeader::Kind::kXing : VbrHeader::Kind::kInfo;
        const uint32_t flags = big_endian32(frame, xing + 4);
        std::size_t at = xing + 8;
        if (flags & kFlagFrames) {
            info.frames = big_endian32(frame, at);
            at += 4;
        }
        if (flags & kFlagBytes) at += 4;
        if (flags & kFlagToc) at += kTocSize;
        if (flags & kFlagQuality) at += 4;
        // The encoder's tag follows the fields the flags announce.
        std::size_t n = 0;
        for (; n < VbrInfo::kEncoderSize; ++n) {
            const uint8_t c = frame.at(at + n);
            if (c < 0x20 || c > 0x7E) break;
            info.encoder[n] = static_cast<char>(c);
        }
        while (n > 0 && info.encoder[n - 1] == ' ') info.encoder[--n] = '\0';
        if (known_encoder(info.encoder)) {
            const uint32_t both = big_endian(frame, at + kDelayAt, 3);
            info.delay = static_cast<int32_t>(both >> 12);
            info.padding = static_cast<int32_t>(both & 0xFFF);
        } else {
            // Without a known encoder's tag these bytes are audio.
            std::memset(info.encoder, 0, sizeof info.encoder);
        }
        return info;
    }
    if (magic_at(frame, static_cast<std::size_t>(VbrHeader::kVbriOffset), "VBRI")) {
        info.kind = VbrHeader::Kind::kVbri;
        info.frames = big_endian32(frame, static_cast<std::size_t>(VbrHeader::kVbriOffset) + kVbriFramesAt);
    }
    return info;
}

}  // namespace velkor
