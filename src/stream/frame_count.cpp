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

FrameRun find_frame_run(ByteSpan window, int64_t window_offset, int64_t from, bool synced,
                        const FrameHeader& first, int64_t audio_end) {
    FrameRun run;
    const int64_t window_end = window_offset + static_cast<int64_t>(window.size);
    const int64_t end = std::min(audio_end, window_end);
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
        if (next < 0) return run;
    }
    if (next < window_offset) return run;
    run.from = next;
    run.to = next;
    while (next + 4 <= end) {
        const FrameHeader header = header_at(next);
        if (!header.is_valid() || !header.same_stream(first)) break;
        const int64_t length = header.frame_length();
        // A frame the audio's end cuts short is a frame all the same.
        const bool cut = next + length > audio_end && audio_end <= window_end;
        if (next + length > end && !cut) break;
        run.varies = run.varies || header.bitrate_index() != first.bitrate_index();
        run.lowest_only = run.lowest_only && header.bitrate_index() == 1;
        ++run.frames;
        run.bytes += std::min(length, audio_end - next);
        next = std::min(next + length, audio_end);
        run.to = next;
        if (cut) break;
    }
    return run;
}

void FrameSample::start(int64_t first, int64_t audio_end) {
    *this = FrameSample();
    first_ = first;
    audio_end_ = std::max(first, audio_end);
    head_to = first;
    tail_from = audio_end_;
}

void FrameSample::take(const FrameRun& run) {
    frames += run.frames;
    bytes += run.bytes;
    varies = varies || run.varies;
}

bool FrameSample::add_head(const FrameRun& run) {
    if (run.frames == 0 || run.from != head_to || run.to > tail_from) return false;
    take(run);
    head_to = run.to;
    head_frames += run.frames;
    return true;
}

bool FrameSample::add_tail(const FrameRun& run) {
    if (run.frames == 0 || run.to != tail_from || run.from < head_to) return false;
    take(run);
    tail_from = run.from;
    tail_frames += run.frames;
    return true;
}

void FrameSample::add_inside(const FrameRun& run) {
    if (run.frames == 0 || run.bytes <= 0) return;
    take(run);
    inside_frames += run.frames;
    inside_bytes += run.bytes;
}

double FrameSample::estimate() const {
    const double counted = static_cast<double>(head_frames + tail_frames);
    const int64_t between = tail_from - head_to;
    if (between <= 0) return counted;
    // Without a window inside, the frames counted at the ends stand for
    // the bytes between them.
    const double density = inside_bytes > 0 ? static_cast<double>(inside_frames) / static_cast<double>(inside_bytes)
                           : bytes > 0       ? static_cast<double>(frames) / static_cast<double>(bytes)
                                             : -1;
    if (density <= 0) return -1;
    if (ends_weigh && head_to > first_ && tail_from < audio_end_ && head_frames > 0 && tail_frames > 0) {
        const double ends = static_cast<double>(head_frames) / static_cast<double>(head_to - first_) +
                            static_cast<double>(tail_frames) / static_cast<double>(audio_end_ - tail_from);
        return counted + static_cast<double>(between) * (ends / 12 + density * 5 / 6);
    }
    return counted + static_cast<double>(between) * density;
}

}  // namespace velkor
