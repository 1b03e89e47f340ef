// The search for the first frame header and its confirmation.
#include "stream/frame_scan.h"

#include <algorithm>
#include <cstring>

#include "stream/frame_header.h"

namespace velkor {

namespace {

constexpr char kJukeboxMarker[] = "RealJukebox";
constexpr std::size_t kJukeboxMarkerLength = sizeof(kJukeboxMarker) - 1;
constexpr int64_t kJukeboxWindow = 32;
// Candidates whose marker window is looked at (c + 1 below 210), and the
// first candidate tested again once the marker was seen.
constexpr int64_t kJukeboxLastCandidate = 208;
constexpr int64_t kJukeboxResume = 2000;
// One confirming frame is not enough: runs of FF bytes, as in FLAC files,
// make such pairs.
constexpr int kConfirmingFrames = 2;

FrameHeader header_at(ByteSpan bytes, std::size_t offset) {
    FrameHeader header;
    header.set_bytes(bytes.at(offset), bytes.at(offset + 1), bytes.at(offset + 2), bytes.at(offset + 3));
    return header;
}

// Whether a 0xFF byte followed by b1 b2 b3 may be a valid header: the
// sync, version, layer, bitrate, sampling and emphasis bits, tested without
// a call. FrameHeader::is_valid stays the rule.
inline bool could_open_frame(uint8_t b1, uint8_t b2, uint8_t b3) {
    return (b1 & 0xE0) == 0xE0 && (b1 & 0x18) != 0x08 && (b1 & 0x06) != 0 && (b2 & 0xF0) != 0 &&
           (b2 & 0xF0) != 0xF0 && (b2 & 0x0C) != 0x0C && (b3 & 0x03) != 0x02;
}

// Whether the eight bytes at p all have bitrate index 15 (the top four bits
// set), so that none of the eight positions two bytes before opens a frame.
inline bool all_bitrate_index_15(const uint8_t* p) {
    uint64_t eight;
    std::memcpy(&eight, p, sizeof eight);
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ull;
    return (eight & kHighNibbles) == kHighNibbles;
}

}  // namespace

std::size_t find_frame_header(ByteSpan bytes, std::size_t from, std::size_t end) {
    if (bytes.size < 4) return kNoFrame;
    if (end > bytes.size - 3) end = bytes.size - 3;
    // Every header starts with a 0xFF byte: memchr skips the rest at memory
    // speed. Where 0xFF bytes crowd (padding, FLAC, noise), most positions
    // are refused by the bits that may not be set: bitrate index 15 in the
    // third byte is the usual one, tested for eight positions at once.
    const uint8_t* data = bytes.data;
    std::size_t c = from;
    while (c < end) {
        if (data[c] != 0xFF) {
            const void* hit = std::memchr(data + c, 0xFF, end - c);
            if (hit == nullptr) break;
            c = static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - data);
        }
        while (c + 8 <= end && all_bitrate_index_15(data + c + 2)) c += 8;
        if (c >= end) break;
        if (data[c] == 0xFF && could_open_frame(data[c + 1], data[c + 2], data[c + 3]) &&
            header_at(bytes, c).is_valid()) {
            return c;
        }
        ++c;
    }
    return kNoFrame;
}

bool has_jukebox_marker(ByteSpan bytes, std::size_t candidate) {
    char window[kJukeboxWindow];
    std::size_t length = 0;
    while (length < kJukeboxWindow) {
        const uint8_t byte = bytes.at(candidate + 1 + length);
        if (byte == 0) break;
        window[length++] = static_cast<char>(byte);
    }
    for (std::size_t i = 0; i + kJukeboxMarkerLength <= length; ++i) {
        if (std::memcmp(window + i, kJukeboxMarker, kJukeboxMarkerLength) == 0) return true;
    }
    return false;
}

Confirmation confirm_frame(ByteSpan bytes, std::size_t candidate, int64_t audio_end) {
    const FrameHeader first = header_at(bytes, candidate);
    int64_t next = static_cast<int64_t>(candidate) + first.frame_length();
    for (int i = 0; i < kConfirmingFrames; ++i) {
        // A short stream may end here, but only where a frame ends: a frame
        // running past the audio's end is cut or no frame at all.
        if (next > audio_end) return Confirmation::kRefused;
        if (audio_end - next < 4) return Confirmation::kConfirmed;
        if (next + 4 > static_cast<int64_t>(bytes.size)) return Confirmation::kNeedBytes;
        const FrameHeader header = header_at(bytes, static_cast<std::size_t>(next));
        if (!header.is_valid() || !header.same_stream(first)) return Confirmation::kRefused;
        next += header.frame_length();
    }
    return next > audio_end ? Confirmation::kRefused : Confirmation::kConfirmed;
}

FirstFrameScan::FirstFrameScan(int64_t start, int64_t file_size, int64_t audio_end)
    : next_(start), last_(file_size - 5), audio_end_(audio_end) {}

FirstFrameScan::Step FirstFrameScan::scan(ByteSpan window, int64_t window_offset, bool complete) {
    const int64_t window_end = window_offset + static_cast<int64_t>(window.size);
    // Whether the bytes before `end` are known: in the window, or past
    // everything there is.
    auto known = [&](int64_t end) { return complete || end <= window_end; };
    auto at = [&](int64_t offset) { return static_cast<std::size_t>(offset - window_offset); };

    // A valid header at next_: confirmed, refused (go on), or more bytes needed.
    auto try_candidate = [&]() -> Confirmation {
        const Confirmation result = confirm_frame(window, at(next_), audio_end_ - window_offset);
        if (result == Confirmation::kNeedBytes && complete) return Confirmation::kRefused;
        return result;
    };

    while (next_ <= last_) {
        if (!known(next_ + 4)) return Step::kNeedBytes;
        if (!skipping_ && next_ <= kJukeboxLastCandidate) {
            if (!known(next_ + 1 + kJukeboxWindow)) return Step::kNeedBytes;
            if (has_jukebox_marker(window, at(next_))) {
                skipping_ = true;
                next_ = std::max(next_, kJukeboxResume);
                continue;
            }
            if (header_at(window, at(next_)).is_valid()) {
                const Confirmation result = try_candidate();
                if (result == Confirmation::kConfirmed) return Step::kFound;
                if (result == Confirmation::kNeedBytes) return Step::kNeedBytes;
            }
            ++next_;
            continue;
        }
        if (skipping_ && next_ < kJukeboxResume) next_ = kJukeboxResume;

        // Beyond the marker's candidates: valid headers found at memory
        // speed, each confirmed in turn.
        const int64_t end = std::min(last_ + 1, window_end - 3);
        if (next_ >= end) {
            // Past the window every candidate lacks a byte: none is valid
            // when nothing more can be fetched.
            return next_ > last_ || complete ? Step::kNotFound : Step::kNeedBytes;
        }
        const std::size_t hit = find_frame_header(window, at(next_), at(end));
        if (hit == kNoFrame) {
            next_ = end;
            continue;
        }
        next_ = window_offset + static_cast<int64_t>(hit);
        const Confirmation result = try_candidate();
        if (result == Confirmation::kConfirmed) return Step::kFound;
        if (result == Confirmation::kNeedBytes) return Step::kNeedBytes;
        ++next_;
    }
    return Step::kNotFound;
}

}  // namespace velkor
