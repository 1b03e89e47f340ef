// Decoding of the 4-byte MPEG audio frame header: fields, validity, tables
// and the names shown to users.
#include "stream/frame_header.h"

namespace velkor {

namespace {

// Bitrates in kbit/s by [MPEG-1?][layer bits][bitrate index]. Layer bits 0
// (reserved) have a row of zeros, so every masked index lands in the table.
constexpr int32_t kBitrateKbps[2][4][16] = {
    // MPEG-2 and MPEG-2.5 (lower sampling frequencies)
    {
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},        // III
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},        // II
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},   // I
    },
    // MPEG-1
    {
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},    // III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},   // II
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // I
    },
};

// Sampling rates in Hz by [version bits][sampling index]; the reserved
// version and the reserved index 3 give 0.
constexpr int32_t kSamplingRateHz[4][4] = {
    {11025, 12000, 8000, 0},   // MPEG-2.5
    {0, 0, 0, 0},              // reserved
    {22050, 24000, 16000, 0},  // MPEG-2
    {44100, 48000, 32000, 0},  // MPEG-1
};

constexpr float kVersionNumber[4] = {2.5f, 0.0f, 2.0f, 1.0f};

// The version number as "%g" prints it, so the text needs no formatting.
constexpr const char* kVersionName[4] = {"2.5", "0", "2", "1"};

// One capital I per layer number (4 - layer bits).
constexpr const char* kLayerName[4] = {"IIII", "III", "II", "I"};

constexpr const char* kModeName[4] = {"Stereo", "Joint Stereo", "Dual Channel",
                                      "Single Channel"};

constexpr int32_t kVersionReserved = 1;
constexpr int32_t kVersionMpeg1 = 3;

// Appends text at out[used], never past out[size - 1]; keeps the zero byte.
std::size_t append(char* out, std::size_t size, std::size_t used, const char* text) {
    while (*text != '\0' && used + 1 < size) out[used++] = *text++;
    out[used] = '\0';
    return used;
}

}  // namespace

float FrameHeader::version_number() const { return kVersionNumber[version_bits()]; }

int32_t FrameHeader::layer_number() const { return 4 - layer_bits(); }

int32_t FrameHeader::table_bitrate_kbps() const {
    if (version_bits() == kVersionReserved) return 0;
    return kBitrateKbps[version_bits() == kVersionMpeg1 ? 1 : 0][layer_bits()][bitrate_index()];
}

int32_t FrameHeader::sampling_rate_hz() const {
    return kSamplingRateHz[version_bits()][sampling_index()];
}

int32_t FrameHeader::frame_length() const {
    if (!is_valid()) return 0;
    const int32_t bits_per_second = table_bitrate_kbps() * 1000;
    const int32_t rate = sampling_rate_hz();
    const int32_t padding = static_cast<int32_t>((word >> 9) & 1);
    switch (layer_bits()) {
        case 3:  // Layer I: four-byte slots
            return (12 * bits_per_second / rate + padding) * 4;
        case 2:
            return 144 * bits_per_second / rate + padding;
        default:  // Layer III: half the samples per frame below MPEG-1
            return (version_bits() == kVersionMpeg1 ? 144 : 72) * bits_per_second / rate + padding;
    }
}

int32_t FrameHeader::xing_offset() const {
    const bool single_channel = mode_bits() == 3;
    if (version_bits() == kVersionMpeg1) return 4 + (single_channel ? 17 : 32);
    return 4 + (single_channel ? 9 : 17);
}

int32_t FrameHeader::samples_per_frame() const {
    if (layer_bits() == 3) return 384;
    return layer_bits() == 2 || version_bits() == kVersionMpeg1 ? 1152 : 576;
}

void FrameHeader::mode_name(char (&out)[kModeNameSize]) const {
    append(out, kModeNameSize, 0, kModeName[mode_bits()]);
}

void FrameHeader::version_text(char (&out)[kVersionTextSize]) const {
    std::size_t used = append(out, kVersionTextSize, 0, "MPEG ");
    used = append(out, kVersionTextSize, used, kVersionName[version_bits()]);
    used = append(out, kVersionTextSize, used, " Layer ");
    append(out, kVersionTextSize, used, kLayerName[layer_bits()]);
}

}  // namespace velkor
