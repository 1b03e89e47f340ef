// The body of a compressed ID3v2 frame, inflated with zlib. A frame declares
// its inflated size (version 2.3: the 4 bytes in front of the zlib data;
// version 2.4: the data length indicator), but taggers have written wrong
// ones: the data is inflated for what it holds, and never past
// kMaxInflatedFrameSize, so a small frame cannot expand without bound. A
// declared size the data does not match is noted, not trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/byte_span.h"

namespace velkor {

// Room for the largest picture a tag sensibly holds.
constexpr std::size_t kMaxInflatedFrameSize = std::size_t{16} << 20;

enum class InflateStatus : uint8_t {
    kOk,
    kCorrupt,   // not a zlib stream, or one cut short
    kTooLarge,  // inflates past the limit
};

struct InflatedFrame {
    InflateStatus status = InflateStatus::kCorrupt;
    std::vector<uint8_t> bytes;  // the inflated body; empty unless kOk
    bool size_differs = false;   // kOk, but not to the size the frame declared
};

// Inflates the zlib data of a frame that declares declared_size inflated
// bytes, up to `limit` bytes whatever it declares. Memory: zlib's window
// and the output, grown as it fills to at most limit + 1 bytes.
InflatedFrame inflate_frame(ByteSpan zlib_data, uint32_t declared_size,
                            std::size_t limit = kMaxInflatedFrameSize);

// A version 2.3 frame body: the big-endian inflated size, then zlib data.
InflatedFrame inflate_v23_frame_body(ByteSpan body);

}  // namespace velkor
