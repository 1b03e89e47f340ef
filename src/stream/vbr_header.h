// The header an encoder writes into the first frame of a stream: Xing (a
// VBR stream) or Info (the same layout in a CBR stream) behind the side
// information, with the encoder's tag behind it (its name, the gapless delay
// and padding); or VBRI at a fixed place. The one reader of all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_span.h"
#include "stream/frame_header.h"

namespace velkor {

class VbrHeader {
public:
    static constexpr std::size_t kSize = 12;  // Xing: magic, flags, frame count
    // Bytes from the frame header on that hold every field read().
    static constexpr std::size_t kFrameBytes = 4 + 32 + 120 + 36;
    // VBRI stands 32 bytes behind the 4-byte header, whatever the stream.
    static constexpr int64_t kVbriOffset = 36;
    static constexpr std::size_t kEncoderSize = 9;

    enum class Kind { kNone, kXing, kVbri, kInfo };

    // The 12 bytes behind the first frame's side information; bytes missing
    // from a short span count as zero. Returns 1 when the magic "Xing" is
    // there, else 0. Sets frames() to the frame count, or -1.
    int32_t parse(ByteSpan bytes);

    // The first frame's bytes from its header on (bytes missing at the end
    // of a short file count as zero): a Xing or Info header with the
    // encoder's tag, else a VBRI header. Returns the kind found.
    Kind read(ByteSpan frame, const FrameHeader& header);

    // The stream's frame count, or -1. A count of 2^31 or more is no count:
    // no stream that long fits a file, so the header is wrong.
    int32_t frames() const { return frames_; }
    // The stream's bytes as the header gives them (Xing with its bytes
    // field, VBRI), or -1.
    int64_t bytes() const { return bytes_; }
    Kind kind() const { return kind_; }
    // Whether the exports take the stream as VBR: a Xing or VBRI header.
    bool marks_vbr() const { return kind_ == Kind::kXing || kind_ == Kind::kVbri; }
    // "LAME3.100" and the like; empty without a known encoder's tag.
    const char* encoder() const { return encoder_; }
    int32_t delay() const { return delay_; }      // samples put in front, or -1
    int32_t padding() const { return padding_; }  // samples put behind, or -1

    // The encoder's settings and ReplayGain from its tag (LAME's layout);
    // -1 (or no bit in gains_known) where the tag does not state them.
    struct Settings {
        int32_t vbr_method = -1;   // the 4-bit method, 1 CBR ... 9 ABR 2-pass
        int32_t quality = -1;      // the Xing quality indicator, 0 to 100
        int32_t lowpass_hz = -1;
        int32_t preset = -1;       // 11 bits: ABR kbit/s, 410-500 V9-V0, 1000-1007 named
        uint32_t gains_known = 0;  // kTrackGain, kTrackPeak (radio), kAlbumGain (audiophile)
        double track_gain_db = 0, album_gain_db = 0, peak = 0;
        static constexpr uint32_t kTrackGain = 1, kTrackPeak = 2, kAlbumGain = 4;
    };
    const Settings& settings() const { return settings_; }

private:
    void clear();
    // The Xing or Info fields at `at` in bytes (the magic already checked);
    // with_tag: the encoder's tag behind them is read too.
    void read_xing(ByteSpan bytes, std::size_t at, bool with_tag);
    // The encoder's tag at `at` (its name already known).
    void read_settings(ByteSpan bytes, std::size_t at);

    int32_t frames_ = 0;
    int64_t bytes_ = -1;
    Kind kind_ = Kind::kNone;
    char encoder_[kEncoderSize + 1] = {};
    int32_t delay_ = -1;
    int32_t padding_ = -1;
    Settings settings_;
};

// The names of the encoder's method ("vbr-new") and preset ("V2",
// "ABR 128", "CBR 320", "--preset standard"); "" for none known.
const char* lame_method_name(int32_t method);
std::string lame_preset_name(int32_t preset, int32_t method);

}  // namespace velkor
