// Counting a stream's frames by walking from one header to the next: exact
// figures for a VBR file without a VBR header. Fed one window of the file's
// bytes at a time, like the scan for the first frame.
#pragma once

#include <cstdint>
#include <deque>

#include "base/byte_span.h"
#include "stream/frame_header.h"

namespace velkor {

class FrameCount {
public:
    // The stream whose first frame has `first` at offset `at`; the audio
    // ends at audio_end (before an ID3v1 tag). `keep`: the frames whose
    // headers lie in the last `keep` bytes counted are remembered, so that
    // a count over a stream whose end was not known yet can be cut back to
    // it (end_at); they take at most keep / 24 entries, 24 bytes the
    // shortest frame.
    FrameCount(int64_t at, const FrameHeader& first, int64_t audio_end, int64_t keep = 0);

    // Counts the frames whose headers lie in `window`, the file's bytes from
    // window_offset (at most next()) on. Returns true when the count is
    // done: the audio ends, or a frame is not followed by a header of the
    // same stream. `complete`: nothing lies beyond the window.
    bool count(ByteSpan window, int64_t window_offset, bool complete);

    // Takes back the frames counted whose headers do not lie before
    // audio_end - 3, as a count that knew audio_end would not have counted
    // them. False when such a frame is no longer remembered; the count is
    // then unchanged.
    bool end_at(int64_t audio_end);

    int64_t next() const { return next_; }
    int64_t frames() const { return frames_; }
    // The bytes the counted frames take, and whether their bitrates differ.
    int64_t bytes() const { return next_ - first_; }
    bool bitrate_varies() const { return varies_; }

private:
    FrameHeader first_header_;
    int64_t first_;
    int64_t next_;
    int64_t audio_end_;
    int64_t frames_ = 0;
    bool varies_ = false;
    // The frames remembered for end_at: offset and whether the bitrate
    // differed; and whether any frame no longer remembered differed.
    struct Counted {
        int64_t at;
        bool varies;
    };
    int64_t keep_;
    std::deque<Counted> kept_;
    bool forgotten_ = false;
    bool forgotten_varies_ = false;
};

// Frames of a stream sampled in a few windows of its bytes: whether the
// bitrate varies, and the average frame size, for a stream without a VBR
// header whose frames were not all counted.
struct FrameSample {
    int64_t frames = 0;
    int64_t bytes = 0;
    bool varies = false;  // a bitrate other than the first frame's

    // Adds the whole frames of `first`'s stream in window (the file's bytes
    // from window_offset on) that end by audio_end: from `from` on when it
    // is a frame's offset (synced), or else from the first header there
    // that two more frames of the stream confirm, as a window in the
    // middle of the audio begins inside a frame.
    void add(ByteSpan window, int64_t window_offset, int64_t from, bool synced, const FrameHeader& first,
             int64_t audio_end);
};

}  // namespace velkor
