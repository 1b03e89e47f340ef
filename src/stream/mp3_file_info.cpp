// The figures Mp3FileInfo derives from a loaded file: the exports' bitrate,
// frame count and playing time, the header's texts, and the stream figures
// of velkor's own interface. Every figure of a stream is worked out here.
#include "stream/mp3_file_info.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/duration_text.h"

namespace velkor {

namespace {

// Bytes per frame for one (bit/s per Hz): Layer I frames are 12 four-byte
// slots, Layer II 1152 samples, Layer III 1152 samples in MPEG-1 and 576 in
// MPEG-2 and MPEG-2.5.
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

// Truncates toward zero into the int32 range (NaN gives 0).
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

// A Xing header counts only when it carries a positive frame count; one
// without a count (or with 0 or a negative one) would divide by zero or give
// a negative bitrate, so the header's own figures stand instead.
bool has_xing_count(const Mp3FileInfo& info) {
    return info.is_vbr == 1 && info.vbr.frames() > 0;
}

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

int32_t Mp3FileInfo::bitrate_kbps() const {
    if (!has_xing_count(*this)) return header.table_bitrate_kbps();
    // The average over the audio, from the first frame on (a cover in the
    // tag in front of it is no audio), rounded through single precision.
    const float size = static_cast<float>(audio_bytes());
    const float average_frame = static_cast<float>(static_cast<double>(size) / vbr.frames());
    return to_int32(static_cast<double>(frequency_hz()) * average_frame /
                    (1000.0 * frame_size_coefficient(header)));
}

int32_t Mp3FileInfo::frame_count() const {
    if (has_xing_count(*this)) return vbr.frames();
    const int32_t rate = frequency_hz();
    if (rate <= 0) return 0;
    const float frame_size = static_cast<float>(
        (header.table_bitrate_kbps() * 1000.0 / rate) * frame_size_coefficient(header));
    if (!(frame_size > 0.0f)) return 0;
    return to_int32(static_cast<double>(audio_bytes()) / frame_size);
}

int32_t Mp3FileInfo::length_seconds() const {
    const int32_t bitrate = bitrate_kbps();
    if (bitrate <= 0) return 0;
    // Whole kilobits first, then whole seconds; in 64 bits so that files of
    // any size fit. Bytes * 8 / 1000 is
    // bytes / 125, which cannot overflow.
    const int64_t kilobits = (file_size_ - header_pos) / 125;
    return kilobits > 0 ? to_int32(kilobits / bitrate) : 0;
}

void Mp3FileInfo::length_text(char (&out)[kLengthTextSize]) const {
    static_assert(kLengthTextSize >= 13, "a 32-bit length takes up to 12 characters");
    duration_text(length_seconds(), out);
}

StreamFigures Mp3FileInfo::stream_figures() const {
    StreamFigures f;
    const int64_t per_frame = header.samples_per_frame();
    const int64_t rate = frequency_hz();
    const int64_t audio = std::max<int64_t>(0, audio_end - (header_pos - 1));
    // kbit/s of `bytes` over `frames` frames, to the nearest.
    auto average_kbps = [&](double bytes, double frames) {
        return frames > 0 ? to_int32(static_cast<int64_t>(std::llround(bytes * 8 * rate / (frames * per_frame * 1000.0)))) : 0;
    };
    f.bitrate_kbps = header.table_bitrate_kbps();
    f.truncated = cut_short(vbr, header, audio, file_size_ - (header_pos - 1));
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
