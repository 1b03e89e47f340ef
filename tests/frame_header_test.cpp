// The frame header and Xing header decoders.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "stream/frame_header.h"
#include "stream/vbr_header.h"

namespace {

using velkor::ByteSpan;
using velkor::FrameHeader;
using velkor::VbrHeader;

struct Fields {
    uint32_t version = 3, layer = 1, bitrate = 9, sampling = 0, mode = 0, emphasis = 0;
};

FrameHeader header_of(const Fields& f) {
    FrameHeader h;
    h.word = (0x7FFu << 21) | (f.version << 19) | (f.layer << 17) | (f.bitrate << 12) |
             (f.sampling << 10) | (f.mode << 6) | f.emphasis;
    return h;
}

FrameHeader header_of(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    FrameHeader h;
    h.set_bytes(b0, b1, b2, b3);
    return h;
}

std::string version_text(const FrameHeader& h) {
    char out[FrameHeader::kVersionTextSize];
    h.version_text(out);
    return out;
}

std::string mode_name(const FrameHeader& h) {
    char out[FrameHeader::kModeNameSize];
    h.mode_name(out);
    return out;
}

TEST(FrameHeader, WorkedExamples) {
    FrameHeader mpeg1 = header_of(0xFF, 0xFB, 0x90, 0x64);
    EXPECT_EQ(mpeg1.word, 0xFFFB9064u);
    EXPECT_EQ(mpeg1.is_valid(), 1);
    EXPECT_EQ(mpeg1.version_number(), 1.0f);
    EXPECT_EQ(mpeg1.layer_number(), 3);
    EXPECT_EQ(mpeg1.table_bitrate_kbps(), 128);
    EXPECT_EQ(mpeg1.sampling_rate_hz(), 44100);
    EXPECT_EQ(mode_name(mpeg1), "Joint Stereo");
    EXPECT_EQ(version_text(mpeg1), "MPEG 1 Layer III");

    FrameHeader mpeg2 = header_of(0xFF, 0xF3, 0x90, 0x44);
    EXPECT_EQ(mpeg2.is_valid(), 1);
    EXPECT_EQ(mpeg2.table_bitrate_kbps(), 80);
    EXPECT_EQ(mpeg2.sampling_rate_hz(), 22050);
    EXPECT_EQ(mode_name(mpeg2), "Joint Stereo");
    EXPECT_EQ(version_text(mpeg2), "MPEG 2 Layer III");

    FrameHeader mpeg25 = header_of(0xFF, 0xE3, 0x80, 0xC0);
    EXPECT_EQ(mpeg25.is_valid(), 1);
    EXPECT_EQ(mpeg25.version_number(), 2.5f);
    EXPECT_EQ(mpeg25.table_bitrate_kbps(), 64);
    EXPECT_EQ(mpeg25.sampling_rate_hz(), 11025);
    EXPECT_EQ(mode_name(mpeg25), "Single Channel");
    EXPECT_EQ(version_text(mpeg25), "MPEG 2.5 Layer III");
}

TEST(FrameHeader, FieldAccessorsTakeTheirBits) {
    FrameHeader h;
    h.word = 0xFFFFFFFFu;
    EXPECT_EQ(h.sync_bits(), 0x7FF);
    EXPECT_EQ(h.version_bits(), 3);
    EXPECT_EQ(h.layer_bits(), 3);
    EXPECT_EQ(h.bitrate_index(), 15);
    EXPECT_EQ(h.sampling_index(), 3);
    EXPECT_EQ(h.mode_bits(), 3);
    EXPECT_EQ(h.emphasis_bits(), 3);
    // The bits without accessor leak into none of them.
    h.word = 0x0001033Cu;  // protection, padding, private, mode extension, copy flags
    EXPECT_EQ(h.sync_bits() + h.version_bits() + h.layer_bits() + h.bitrate_index() +
                  h.sampling_index() + h.mode_bits() + h.emphasis_bits(),
              0);
}

// Each row as the standards list it: MPEG-1 (ISO/IEC 11172-3) and the lower
// sampling frequencies shared by MPEG-2 and MPEG-2.5 (ISO/IEC 13818-3).
TEST(FrameHeader, BitrateTableEveryVersionAndLayer) {
    const int32_t mpeg1[3][16] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // III
    };
    const int32_t lower[3][16] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // II
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // III
    };
    for (uint32_t version : {0u, 2u, 3u}) {
        for (uint32_t layer = 1; layer <= 3; ++layer) {
            const int32_t* row = (version == 3 ? mpeg1 : lower)[3 - layer];
            for (uint32_t index = 0; index < 16; ++index) {
                Fields f;
                f.version = version;
                f.layer = layer;
                f.bitrate = index;
                FrameHeader h = header_of(f);
                EXPECT_EQ(h.table_bitrate_kbps(), row[index])
                    << "version bits " << version << " layer bits " << layer << " index " << index;
                EXPECT_EQ(h.layer_number(), static_cast<int32_t>(4 - layer));
            }
        }
    }
}

TEST(FrameHeader, SamplingRateTableEveryVersion) {
    const int32_t expected[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    for (uint32_t version = 0; version < 4; ++version) {
        for (uint32_t index = 0; index < 3; ++index) {
            Fields f;
            f.version = version;
            f.sampling = index;
            EXPECT_EQ(header_of(f).sampling_rate_hz(), expected[version][index]);
        }
    }
}

TEST(FrameHeader, VersionTextEveryVersionAndLayer) {
    const char* expected[4][3] = {
        {"MPEG 2.5 Layer III", "MPEG 2.5 Layer II", "MPEG 2.5 Layer I"},
        {"MPEG 0 Layer III", "MPEG 0 Layer II", "MPEG 0 Layer I"},
        {"MPEG 2 Layer III", "MPEG 2 Layer II", "MPEG 2 Layer I"},
        {"MPEG 1 Layer III", "MPEG 1 Layer II", "MPEG 1 Layer I"},
    };
    const float numbers[4] = {2.5f, 0.0f, 2.0f, 1.0f};
    for (uint32_t version = 0; version < 4; ++version) {
        for (uint32_t layer = 1; layer <= 3; ++layer) {
            Fields f;
            f.version = version;
            f.layer = layer;
            EXPECT_EQ(version_text(header_of(f)), expected[version][layer - 1]);
            EXPECT_EQ(header_of(f).version_number(), numbers[version]);
        }
    }
}

TEST(FrameHeader, ModeNames) {
    const char* expected[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};
    for (uint32_t mode = 0; mode < 4; ++mode) {
        Fields f;
        f.mode = mode;
        EXPECT_EQ(mode_name(header_of(f)), expected[mode]);
    }
}

TEST(FrameHeader, EachValidityRuleAloneRejects) {
    ASSERT_EQ(header_of(Fields{}).is_valid(), 1);
    auto rejected = [](Fields f) { return header_of(f).is_valid() == 0; };
    Fields f;
    f.version = 1;
    EXPECT_TRUE(rejected(f));
    f = Fields{};
    f.layer = 0;
    EXPECT_TRUE(rejected(f));
    f = Fields{};
    f.bitrate = 0;
    EXPECT_TRUE(rejected(f));
    f = Fields{};
    f.bitrate = 15;
    EXPECT_TRUE(rejected(f));
    f = Fields{};
    f.sampling = 3;
    EXPECT_TRUE(rejected(f));
    f = Fields{};
    f.emphasis = 2;
    EXPECT_TRUE(rejected(f));
    // Emphasis 1 and 3 and every mode pass.
    for (uint32_t emphasis : {0u, 1u, 3u}) {
        f = Fields{};
        f.emphasis = emphasis;
        EXPECT_FALSE(rejected(f));
    }
    // Any sync bit missing makes the word invalid, whatever else it holds.
    for (int bit = 21; bit < 32; ++bit) {
        FrameHeader h = header_of(Fields{});
        h.word &= ~(1u << bit);
        EXPECT_EQ(h.is_valid(), 0) << "bit " << bit;
    }
    EXPECT_EQ(header_of(0xFF, 0xE0, 0x00, 0x00).is_valid(), 0);
}

TEST(FrameHeader, LookupsStayInTheirTablesForAnyWord) {
    // Reserved version, reserved layer, index 15, sampling index 3: every
    // lookup answers with a table value and the texts stay in their buffers.
    for (uint32_t top = 0; top < 4096; ++top) {
        FrameHeader h;
        h.word = 0xFFE00000u | (top << 8) | 0xFFu;
        EXPECT_GE(h.table_bitrate_kbps(), 0);
        EXPECT_LE(h.table_bitrate_kbps(), 448);
        EXPECT_GE(h.sampling_rate_hz(), 0);
        EXPECT_LT(version_text(h).size(), FrameHeader::kVersionTextSize);
        EXPECT_LT(mode_name(h).size(), FrameHeader::kModeNameSize);
    }
    Fields f;
    f.version = 1;
    EXPECT_EQ(header_of(f).table_bitrate_kbps(), 0);
    EXPECT_EQ(header_of(f).sampling_rate_hz(), 0);
    f = Fields{};
    f.layer = 0;
    EXPECT_EQ(header_of(f).table_bitrate_kbps(), 0);
    f = Fields{};
    f.sampling = 3;
    EXPECT_EQ(header_of(f).sampling_rate_hz(), 0);
}

int32_t parse(VbrHeader& vbr, std::initializer_list<uint8_t> bytes) {
    const std::basic_string<uint8_t> data(bytes);
    return vbr.parse(ByteSpan(data.data(), data.size()));
}

TEST(VbrHeader, FrameCountFollowsFlagBitZero) {
    VbrHeader vbr;
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 0x0F, 0, 0, 0x12, 0x34}), 1);
    EXPECT_EQ(vbr.frames(), 4660);
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 0x0E, 0, 0, 0x12, 0x34}), 1);
    EXPECT_EQ(vbr.frames(), -1);
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0x12, 0x34}), 1);
    EXPECT_EQ(vbr.frames(), -1);
    // All four count bytes take part, the top one as the sign.
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0x01, 0x02, 0x03, 0x04}), 1);
    EXPECT_EQ(vbr.frames(), 0x01020304);
    // A count of 2^31 or more is no count.
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xF0}), 1);
    EXPECT_EQ(vbr.frames(), -1);
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0x80, 0, 0, 0}), 1);
    EXPECT_EQ(vbr.frames(), -1);
}

TEST(VbrHeader, MagicMustMatchExactly) {
    VbrHeader vbr;
    const uint8_t good[12] = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0, 9};
    for (int i = 0; i < 4; ++i) {
        for (uint8_t change : {uint8_t{0x20}, uint8_t{0x01}}) {
            uint8_t bytes[12];
            std::copy(good, good + 12, bytes);
            bytes[i] ^= change;  // 0x20 flips the letter case
            EXPECT_EQ(vbr.parse(ByteSpan(bytes, 12)), 0);
            EXPECT_EQ(vbr.frames(), -1);
        }
    }
    EXPECT_EQ(parse(vbr, {'I', 'n', 'f', 'o', 0, 0, 0, 1, 0, 0, 0, 9}), 0);
}

TEST(VbrHeader, ShortInputCountsAsZeros) {
    VbrHeader vbr;
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n'}), 0);
    EXPECT_EQ(vbr.frames(), -1);
    EXPECT_EQ(parse(vbr, {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0x12}), 1);
    EXPECT_EQ(vbr.frames(), 0x12000000);
    EXPECT_EQ(vbr.parse(ByteSpan()), 0);
}

}  // namespace
