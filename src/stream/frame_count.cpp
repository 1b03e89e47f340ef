// Walking a stream frame by frame.
#include "stream/frame_count.h"

#include <algorithm>

#include "stream/frame_scan.h"

namespace velkor {

FrameCount::FrameCount(int64_t at, const FrameHeader& first, int64_t audio_end, int64_t keep)
    : first_header_(first), first_(at), next_(at), audio_end_(audio_end), keep_(keep) {}

bool FrameCount::count(ByteSpan window, int64_t window_offset, bool complete) {
    const int64_t window_end = window_offset + static_cast<int64_t>(window.size);
    while (audio_end_ - next_ >= 4) {
        if (next_ + 4 > window_end) return complete;
        const std::size_t at = static_cast<std::size_t>(next_ - window_offset);
        FrameHeader header;
        header.set_bytes(window.data + at);
        // Anything else ends the stream: junk, another tag, a cut.
        if (!header.is_valid() || !header.same_stream(first_header_)) return true;
        const bool differs = header.bitrate_index() != first_header_.bitrate_index();
        varies_ = varies_ || differs;
        ++frames_;
        if (keep_ > 0) {
            kept_.push_back(Counted{next_, differs});
            while (kept_.front().at < next_ - keep_) {
                forgotten_ = true;
                forgotten_varies_ = forgotten_varies_ || kept_.front().varies;
                kept_.pop_front();
            }
        }
        next_ += header.frame_length();
    }
    return true;
}

bool FrameCount::end_at(int64_t audio_end) {
    std::size_t cut = kept_.size();
    while (cut > 0 && audio_end - kept_[cut - 1].at < 4) --cut;
    if (cut == kept_.size()) return true;
    if (cut == 0 && forgotten_) return false;
    next_ = kept_[cut].at;
    frames_ -= static_cast<int64_t>(kept_.size() - cut);
    kept_.resize(cut);
    varies_ = forgotten_varies_;
    for (const Counted& frame : kept_) varies_ = varies_ || frame.varies;
    audio_end_ = audio_end;
    return true;
}

void FrameSample::add(ByteSpan window, int64_t window_offset, int64_t from, bool synced,
                      const FrameHeader& first, int64_t audio_end) {
    const int64_t end = std::min(audio_end, window_offset + static_cast<int64_t>(window.size));
    auto header_at = [&](int64_t offset) {
        FrameHeader header;
        header.set_bytes(window.data + (offset - window_offset));
        return header;
    };
    int64_t next = from;
    if (!synced) {
        next = -1;
        for (int64_t c = from; c + 4 <= end;) {
            const std::size_t hit = find_frame_header(window, static_cast<std::size_t>(c - window_offset),
                                                      static_cast<std::size_t>(end - window_offset));
            if (hit == kNoFrame) break;
            c = window_offset + static_cast<int64_t>(hit);
            if (header_at(c).same_stream(first) &&
                confirm_frame(window, hit, audio_end - window_offset) == Confirmation::kConfirmed) {
                next = c;
                break;
            }
            ++c;
        }
        if (next < 0) return;
    }
    while (next >= window_offset && next + 4 <= end) {
        const FrameHeader header = header_at(next);
        if (!header.is_valid() || !header.same_stream(first)) break;
        const int32_t length = header.frame_length();
        if (next + length > end) break;
        varies = varies || header.bitrate_index() != first.bitrate_index();
        ++frames;
        bytes += length;
        next += length;
    }
}

}  // namespace velkor
