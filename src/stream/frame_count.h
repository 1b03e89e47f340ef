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

// The whole frames of one stream found in a window of its bytes.
struct FrameRun {
    int64_t from = -1;  // the first frame's offset; -1: none found
    int64_t to = -1;    // where the last one ends
    int64_t frames = 0;
    int64_t bytes = 0;
    bool varies = false;       // a bitrate other than the first frame's
    bool lowest_only = true;   // every frame at the lowest bitrate (an encoder's silence)
};

// The frames of `first`'s stream in window (the file's bytes from
// window_offset on) that end by audio_end: from `from` on when it is a
// frame's offset (synced), or else from the first header there that two
// more frames of the stream confirm, as a window inside the audio begins
// inside a frame. Where the window holds the audio's end, a last frame cut
// short by it counts, as a count of every frame counts it.
FrameRun find_frame_run(ByteSpan window, int64_t window_offset, int64_t from, bool synced,
                        const FrameHeader& first, int64_t audio_end);

// Frames of a stream without a VBR header sampled in a few windows, for an
// estimate of its frame count without reading it all. The frames at the
// audio's start and end are counted where they lie (their runs join the
// first frame and the audio's end); the bytes between them are estimated
// from the frames per byte of windows inside: as bytes, not frames, are
// sampled, each part of the audio weighs by its bytes, as in the count.
struct FrameSample {
    int64_t frames = 0;  // every frame sampled
    int64_t bytes = 0;
    bool varies = false;  // a bitrate other than the first frame's

    // The stretch counted from the first frame on, and the one counted up
    // to the audio's end (tail_from == audio end: none).
    int64_t head_to = 0, head_frames = 0;
    int64_t tail_from = 0, tail_frames = 0;
    // The frames and bytes of the windows inside.
    int64_t inside_frames = 0, inside_bytes = 0;
    // Whether the frames per byte at the ends count beside those inside
    // (1/12 each), as where the windows inside lie at a quarter and three
    // quarters: the ends of a stream rise or fall away from its middle.
    bool ends_weigh = false;

    // Starts the sample of the stream from `first` to audio_end.
    void start(int64_t first, int64_t audio_end);
    // A run at the start, joined to the frames counted from the first one
    // on; false (and nothing taken) when it does not join them.
    bool add_head(const FrameRun& run);
    // A run that ends at the audio's end, joined to those counted before
    // it; false when it does not end there or join them.
    bool add_tail(const FrameRun& run);
    // A run from a window inside the audio.
    void add_inside(const FrameRun& run);

    // The stream's frames: those counted plus the bytes between at the
    // frames per byte of the windows inside (else of those counted); -1
    // when nothing was sampled.
    double estimate() const;

private:
    void take(const FrameRun& run);
    int64_t first_ = 0, audio_end_ = 0;
};

}  // namespace velkor
