// Searching bytes for the first frame header, and for the marker that one
// ripper leaves in front of its first frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/byte_span.h"

namespace velkor {

constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);

// The first offset c in [from, end) whose 4 bytes lie inside `bytes` and
// form a valid frame header, or kNoFrame.
std::size_t find_frame_header(ByteSpan bytes, std::size_t from, std::size_t end);

// The marker window of candidate c: the text at c + 1 up to its first zero
// byte, at most 32 bytes (bytes past the span count as zero). True when the
// window holds "RealJukebox".
bool has_jukebox_marker(ByteSpan bytes, std::size_t candidate);

}  // namespace velkor
