// The search for a stream's first frame: a valid header that the two frames
// behind it confirm, with the rule for the marker one ripper leaves in front
// of its first frames. Pure functions over bytes; the caller fetches them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);

// The first offset c in [from, end) whose 4 bytes lie inside `bytes` and
// form a valid frame header, or kNoFrame.
std::size_t find_frame_header(ByteSpan bytes, std::size_t from, std::size_t end);

// The marker window of candidate c: the text at c + 1 up to its first zero
// byte, at most 32 bytes (bytes past the span count as zero). True when the
// window holds "RealJukebox".
bool has_jukebox_marker(ByteSpan bytes, std::size_t candidate);

enum class Confirmation { kConfirmed, kRefused, kNeedBytes };

// Whether the valid header at `candidate` opens a stream: the headers one
// and two frames further on must be valid and of the same version, layer
// and sampling rate. The chain ends early, confirmed, where a frame ends
// fewer than 4 bytes before audio_end (the offset in `bytes` where the audio
// ends, which may lie beyond the span); a frame running past audio_end
// refuses. kNeedBytes: the chain runs past the span before audio_end.
Confirmation confirm_frame(ByteSpan bytes, std::size_t candidate, int64_t audio_end);

// The scan for the first frame over a file's bytes, fed one window at a
// time: the first candidate from `start` to file_size - 5 whose header is
// valid and confirmed. Once a candidate up to offset 208 has the marker in
// its window, the candidates up to 1999 are passed over.
class FirstFrameScan {
public:
    enum class Step { kFound, kNotFound, kNeedBytes };

    FirstFrameScan(int64_t start, int64_t file_size, int64_t audio_end);

    // Examines candidates from next() on in `window`, the file's bytes from
    // window_offset (at most next()) on. `complete`: nothing lies beyond the
    // window that could be fetched (the file ends there or cannot be read
    // further), so missing bytes count as zero. kNeedBytes: the file's bytes
    // from next() on are needed to go on.
    Step scan(ByteSpan window, int64_t window_offset, bool complete);

    int64_t next() const { return next_; }
    // The frame's offset after kFound.
    int64_t found() const { return next_; }
    // The last candidate there is (negative when the file is too small).
    int64_t last() const { return last_; }

private:
    int64_t next_;
    int64_t last_;
    int64_t audio_end_;
    bool skipping_ = false;
};

}  // namespace velkor
