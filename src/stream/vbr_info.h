// What the first frame says about the whole stream beyond the exports'
// figures: the Xing or Info header (Info is the same layout in a CBR
// stream), the encoder's tag behind it with the encoder's name and the
// gapless delay and padding, or a VBRI header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"
#include "stream/frame_header.h"
#include "stream/vbr_header.h"

namespace velkor {

struct VbrInfo {
    // Bytes from the frame header on that hold every field read here.
    static constexpr std::size_t kFrameBytes = 4 + 32 + 120 + 36;
    static constexpr std::size_t kEncoderSize = 9;

    VbrHeader::Kind kind = VbrHeader::Kind::kNone;
    int64_t frames = -1;  // the header's frame count, when it has one
    char encoder[kEncoderSize + 1] = {};  // "LAME3.100" and the like
    int32_t delay = -1;    // samples the encoder put in front
    int32_t padding = -1;  // samples it put behind
};

// Reads the first frame's bytes, from its header on (bytes missing at the
// end of a short file count as zero).
VbrInfo read_vbr_info(ByteSpan frame, const FrameHeader& header);

}  // namespace velkor
