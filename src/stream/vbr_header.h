// The header an encoder writes into the first frame of a VBR stream: Xing
// (behind the side information) or VBRI (at a fixed place), each with the
// stream's frame count.
#pragma once

#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

class VbrHeader {
public:
    static constexpr std::size_t kSize = 12;      // Xing: magic, flags, frame count
    static constexpr std::size_t kVbriSize = 18;  // VBRI: up to its frame count
    // VBRI stands 32 bytes behind the 4-byte header, whatever the stream.
    static constexpr int64_t kVbriOffset = 36;

    enum class Kind { kNone, kXing, kVbri, kInfo };

    // Reads the 12 bytes behind the first frame's side information; bytes
    // missing from a short span count as zero. Returns 1 when the magic
    // "Xing" is there, else 0. Sets frames() to the frame count, or -1.
    int32_t parse(ByteSpan bytes);

    // Reads the 18 bytes at kVbriOffset from the frame's first byte. Returns
    // 1 when the magic "VBRI" is there, with its frame count, else 0 with
    // frames() -1.
    int32_t parse_vbri(ByteSpan bytes);

    int32_t frames() const { return frames_; }
    Kind kind() const { return kind_; }

private:
    int32_t frames_ = 0;
    Kind kind_ = Kind::kNone;
};

}  // namespace velkor
