// Walking a stream frame by frame.
#include "stream/frame_count.h"

namespace velkor {

FrameCount::FrameCount(int64_t at, const FrameHeader& first, int64_t audio_end)
    : first_header_(first), first_(at), next_(at), audio_end_(audio_end) {}

bool FrameCount::count(ByteSpan window, int64_t window_offset, bool complete) {
    const int64_t window_end = window_offset + static_cast<int64_t>(window.size);
    while (audio_end_ - next_ >= 4) {
        if (next_ + 4 > window_end) return complete;
        const std::size_t at = static_cast<std::size_t>(next_ - window_offset);
        FrameHeader header;
        header.set_bytes(window.data + at);
        // Anything else ends the stream: junk, another tag, a cut.
        if (!header.is_valid() || !header.same_stream(first_header_)) return true;
        varies_ = varies_ || header.bitrate_index() != first_header_.bitrate_index();
        ++frames_;
        next_ += header.frame_length();
    }
    return true;
}

}  // namespace velkor
