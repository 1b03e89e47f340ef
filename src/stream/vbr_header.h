// The Xing header an encoder writes into the first frame of a VBR stream.
#pragma once

#include <cstdint>

#include "stream/byte_span.h"

namespace velkor {

class VbrHeader {
public:
    static constexpr std::size_t kSize = 12;  // magic, flags, frame count

    // Reads the 12 bytes behind the first frame's side information; bytes
    // missing from a short span count as zero. Returns 1 when the magic
    // "Xing" is there, else 0. Sets frames() to the frame count, or -1.
    int32_t parse(ByteSpan bytes);

    int32_t frames() const { return frames_; }

private:
    int32_t frames_ = 0;
};

}  // namespace velkor
