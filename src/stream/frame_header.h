// The 4-byte header that opens every MPEG audio frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

class FrameHeader {
public:
    // Room for the texts, zero byte included.
    static constexpr std::size_t kModeNameSize = 15;     // "Single Channel"
    static constexpr std::size_t kVersionTextSize = 19;  // "MPEG 2.5 Layer III"

    uint32_t word = 0;  // the four bytes in file order, first most significant

    // Sets word from the bytes b0..b3 in file order.
    void set_bytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
        word = (uint32_t{b0} << 24) | (uint32_t{b1} << 16) | (uint32_t{b2} << 8) | uint32_t{b3};
    }
    // Sets word from the first 4 bytes at p.
    void set_bytes(const uint8_t* p) { set_bytes(p[0], p[1], p[2], p[3]); }

    // The fields, defined here as the scans test every candidate with them.
    // version_bits: 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1; layer_bits:
    // 0 reserved, 1 III, 2 II, 3 I.
    int32_t sync_bits() const { return static_cast<int32_t>((word >> 21) & 0x7FF); }     // bits 31-21
    int32_t version_bits() const { return static_cast<int32_t>((word >> 19) & 3); }      // bits 20-19
    int32_t layer_bits() const { return static_cast<int32_t>((word >> 17) & 3); }        // bits 18-17
    int32_t bitrate_index() const { return static_cast<int32_t>((word >> 12) & 15); }    // bits 15-12
    int32_t sampling_index() const { return static_cast<int32_t>((word >> 10) & 3); }    // bits 11-10
    int32_t mode_bits() const { return static_cast<int32_t>((word >> 6) & 3); }          // bits 7-6
    int32_t emphasis_bits() const { return static_cast<int32_t>(word & 3); }             // bits 1-0

    // 1 when the header passes the validity test, else 0. Free format
    // (bitrate index 0) is refused: without a table bitrate no figure can be
    // derived from the header.
    int32_t is_valid() const {
        return sync_bits() == 0x7FF && version_bits() != 1 && layer_bits() != 0 && bitrate_index() != 0 &&
                       bitrate_index() != 15 && sampling_index() != 3 && emphasis_bits() != 2
                   ? 1
                   : 0;
    }

    float version_number() const;  // 1, 2, 2.5, or 0 for the reserved version
    int32_t layer_number() const;  // 1, 2 or 3 (4 for the reserved layer)

    // Table lookups; 0 for a header that failed is_valid.
    int32_t table_bitrate_kbps() const;
    int32_t sampling_rate_hz() const;

    // Bytes of the frame this header opens, header included (integer
    // arithmetic, padding slot counted); 0 for a header that failed is_valid.
    int32_t frame_length() const;
    // Where a Xing header stands from the header's first byte: behind the
    // side information (17 or 32 bytes in MPEG-1, 9 or 17 below it, the
    // smaller for a single channel), whatever the layer.
    int32_t xing_offset() const;
    // Samples each frame holds: 384 (Layer I), 1152 (Layer II, and Layer III
    // in MPEG-1), 576 (Layer III below MPEG-1).
    int32_t samples_per_frame() const;
    // Whether other has the same version, layer and sampling index: a frame
    // of the same stream.
    bool same_stream(const FrameHeader& other) const {
        return ((word ^ other.word) & kStreamBits) == 0;
    }

    // "Stereo", "Joint Stereo", "Dual Channel" or "Single Channel".
    void mode_name(char (&out)[kModeNameSize]) const;
    // "MPEG 1 Layer III" and the like.
    void version_text(char (&out)[kVersionTextSize]) const;

private:
    static constexpr uint32_t kStreamBits = 0x001E0C00;  // version, layer, sampling index
};

}  // namespace velkor
