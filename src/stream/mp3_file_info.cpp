// The figures Mp3FileInfo derives from a loaded file: the header's texts and
// the stream figures of velkor's own interface.
#include "stream/mp3_file_info.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkor {

// Layer I frames are 12 four-byte slots, Layer II 1152 samples, Layer III
// 1152 samples in MPEG-1 and 576 in MPEG-2 and MPEG-2.5.
double frame_size_coefficient(const FrameHeader& header) {
    switch (header.layer_bits()) {
        case 3:
            return 48.0;
        case 2:
            return 144.0;
        default:
            return header.version_bits() == 3 ? 144.0 : 72.0;
    }
}

int32_t to_int32(double value) {
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

int32_t to_int32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

namespace {

// The stream's frame at bitrate index `index` (1 the smallest, 14 the
// largest), with its padding slot or without.
FrameHeader at_bitrate(const FrameHeader& header, uint32_t index, bool padded) {
    FrameHeader other = header;
    other.word = (header.word & ~0xF200u) | (index << 12) | (padded ? 0x200u : 0u);
    return other;
}

// Frames a VBR header may announce beyond what the bytes could hold at the
// smallest frame size before the file counts as cut short: room for an
// encoder that counts a frame or two differently. Its byte count may pass
// the file's end by one frame at the largest size.
constexpr int64_t kFewFrames = 4;

// Whether the VBR header's counts cannot fit in the file: its frames (and
// the frame holding it) at the smallest frame size of the stream need more
// than `audio` bytes, or its byte count runs past the file's end.
bool cut_short(const VbrHeader& vbr, const FrameHeader& header, int64_t audio, int64_t from_first_frame) {
    if (vbr.kind() == VbrHeader::Kind::kNone) return false;
    const int64_t fewest_bytes = at_bitrate(header, 1, false).frame_length();
    if (fewest_bytes <= 0) return false;
    const int64_t frames = static_cast<int64_t>(vbr.frames()) + 1;
    if (vbr.frames() > 0 && frames - kFewFrames > audio / fewest_bytes) return true;
    return vbr.bytes() > from_first_frame + at_bitrate(header, 14, true).frame_length();
}

}  // namespace

void Mp3FileInfo::version_text(char (&out)[FrameHeader::kVersionTextSize]) const {
    header.version_text(out);
}

void Mp3FileInfo::mode_text(char (&out)[FrameHeader::kModeNameSize]) const {
    header.mode_name(out);
}

int32_t Mp3FileInfo::frequency_hz() const { return header.sampling_rate_hz(); }

StreamFigures Mp3FileInfo::stream_figures() const {
    StreamFigures f;
    const int64_t per_frame = header.samples_per_frame();
    const int64_t rate = frequency_hz();
    const int64_t audio = std::max<int64_t>(0, audio_end - first_frame_offset);
    // kbit/s of `bytes` over `frames` frames, to the nearest.
    auto average_kbps = [&](double bytes, double frames) {
        return frames > 0 ? to_int32(static_cast<int64_t>(std::llround(bytes * 8 * rate / (frames * per_frame * 1000.0)))) : 0;
    };
    f.bitrate_kbps = header.table_bitrate_kbps();
    f.truncated = cut_short(vbr, header, audio, file_size_ - first_frame_offset);
    if (counted_frames >= 0) {
        // The frame holding a VBR header is no audio.
        f.frames = std::max<int64_t>(0, counted_frames - (vbr.kind() != VbrHeader::Kind::kNone ? 1 : 0));
        f.frames_exact = true;
        f.bitrate_varies = counted_bitrate_varies;
        if (counted_bitrate_varies) f.bitrate_kbps = average_kbps(counted_bytes, counted_frames);
    } else if (f.truncated) {
        // What the file holds, estimated: at the average frame size the
        // header gives, where it gives one that a frame can have, else at
        // the first frame's bitrate.
        const int64_t own = header.frame_length();
        const double average = vbr.frames() > 0 && vbr.bytes() > own
                                   ? static_cast<double>(vbr.bytes() - own) / vbr.frames()
                                   : 0;
        f.bitrate_varies = vbr.marks_vbr();
        if (average >= at_bitrate(header, 1, false).frame_length() &&
            average <= at_bitrate(header, 14, true).frame_length()) {
            f.frames = std::llround(std::max<double>(0, static_cast<double>(audio - own)) / average);
            // The header's average over the whole stream, as for a whole file.
            if (vbr.marks_vbr()) f.bitrate_kbps = average_kbps(vbr.bytes(), vbr.frames());
        } else if (rate > 0 && f.bitrate_kbps > 0) {
            f.frames = std::llround(audio / (frame_size_coefficient(header) * f.bitrate_kbps * 1000.0 / rate));
        }
    } else if (vbr.frames() > 0) {
        f.frames = vbr.frames();
        f.frames_exact = true;
        if (vbr.marks_vbr()) {
            f.bitrate_varies = true;
            f.bitrate_kbps = average_kbps(vbr.bytes() > 0 ? vbr.bytes() : audio, f.frames);
        }
    } else if (sampled.varies && sampled.estimate() > 0) {
        // An estimate from the frames sampled.
        f.frames = std::llround(sampled.estimate());
        f.bitrate_varies = true;
        f.bitrate_kbps = average_kbps(static_cast<double>(audio), static_cast<double>(f.frames));
    } else if (rate > 0 && f.bitrate_kbps > 0) {
        f.frames = std::llround(audio / (frame_size_coefficient(header) * f.bitrate_kbps * 1000.0 / rate));
    }
    f.samples = f.frames * per_frame;
    // Rounded to the nearest millisecond.
    auto milliseconds = [&](int64_t samples) { return rate > 0 ? (samples * 1000 + rate / 2) / rate : 0; };
    f.duration_ms = milliseconds(f.samples);
    if (vbr.delay() >= 0 && f.frames_exact) {
        // The padding went with the end of a file cut short.
        f.gapless_samples = std::max<int64_t>(0, f.samples - vbr.delay() - (f.truncated ? 0 : vbr.padding()));
        f.gapless_duration_ms = milliseconds(f.gapless_samples);
    }
    return f;
}

}  // namespace velkor
