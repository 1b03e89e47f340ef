// The analysis exports' figures: the legacy record's arithmetic over what
// the analysis found.
#include "legacy/record_figures.h"

#include "base/duration_text.h"

namespace velkor::legacy {

namespace {

// A Xing header counts only when it carries a positive frame count; one
// without a count (or with 0 or a negative one) would divide by zero or give
// a negative bitrate, so the header's own figures stand instead.
bool has_xing_count(const Mp3FileInfo& info) { return info.is_vbr == 1 && info.vbr.frames() > 0; }

// The bytes from the first frame to the end of the file.
int64_t audio_bytes(const Mp3FileInfo& info) { return info.file_size() - (header_pos(info) - 1); }

}  // namespace

int64_t header_pos(const Mp3FileInfo& info) {
    if (info.first_frame_offset >= 0) return info.first_frame_offset + 1;
    return info.scanned ? info.file_size() - 4 : 0;
}

int32_t bitrate_kbps(const Mp3FileInfo& info) {
    if (!has_xing_count(info)) return info.header.table_bitrate_kbps();
    // The average over the audio, from the first frame on (a cover in the
    // tag in front of it is no audio), rounded through single precision.
    const float size = static_cast<float>(audio_bytes(info));
    const float average_frame = static_cast<float>(static_cast<double>(size) / info.vbr.frames());
    return to_int32(static_cast<double>(info.frequency_hz()) * average_frame /
                    (1000.0 * frame_size_coefficient(info.header)));
}

int32_t frame_count(const Mp3FileInfo& info) {
    if (has_xing_count(info)) return info.vbr.frames();
    const int32_t rate = info.frequency_hz();
    if (rate <= 0) return 0;
    const float frame_size =
        static_cast<float>((info.header.table_bitrate_kbps() * 1000.0 / rate) * frame_size_coefficient(info.header));
    if (!(frame_size > 0.0f)) return 0;
    return to_int32(static_cast<double>(audio_bytes(info)) / frame_size);
}

int32_t length_seconds(const Mp3FileInfo& info) {
    const int32_t bitrate = bitrate_kbps(info);
    if (bitrate <= 0) return 0;
    // Whole kilobits first, then whole seconds; in 64 bits so that files of
    // any size fit. Bytes * 8 / 1000 is bytes / 125, which cannot overflow.
    const int64_t kilobits = (info.file_size() - header_pos(info)) / 125;
    return kilobits > 0 ? to_int32(kilobits / bitrate) : 0;
}

void length_text(const Mp3FileInfo& info, char (&out)[kLengthTextSize]) {
    static_assert(kLengthTextSize >= 13, "a 32-bit length takes up to 12 characters");
    duration_text(length_seconds(info), out);
}

}  // namespace velkor::legacy
