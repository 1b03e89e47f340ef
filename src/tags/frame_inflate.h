// The body of a compressed ID3v2 frame, inflated with zlib. A frame declares
// its inflated size (version 2.3: the 4 bytes in front of the zlib data;
// version 2.4: the data length indicator), and no more than that is ever
// produced, nor more than kMaxInflatedFrameSize: a small frame cannot expand
// without bound.
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
    kTooLarge,  // declares more than kMaxInflatedFrameSize, or inflates past what it declares
};

struct InflatedFrame {
    InflateStatus status = InflateStatus::kCorrupt;
    std::vector<uint8_t> bytes;  // the inflated body; empty unless kOk
};

// Inflates the zlib data of a frame that declares declared_size inflated
// bytes. A stream that ends short of it is kept as it is. Memory: zlib's
// window and the output, grown as it fills to at most
// min(declared_size, kMaxInflatedFrameSize) + 1 bytes.
InflatedFrame inflate_frame(ByteSpan zlib_data, uint32_t declared_size);

// A version 2.3 frame body: the big-endian inflated size, then zlib data.
InflatedFrame inflate_v23_frame_body(ByteSpan body);

}  // namespace velkor
