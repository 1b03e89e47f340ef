// The frame header and Xing header decoders, against the published
// standards and the frames of other encoders' files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "data_facts.h"

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

// A few entries as ISO/IEC 11172-3 (MPEG-1) and 13818-3 (the lower
// sampling frequencies of MPEG-2, which MPEG-2.5 shares) publish them; the
// files below check the entries real encoders use.
TEST(FrameHeader, TableEntriesThePublishedStandardsGive) {
    const struct {
        Fields bits;
        int32_t kbps;
    } kEntries[] = {{{3, 3, 14}, 448}, {{3, 2, 14}, 384}, {{3, 1, 1}, 32}, {{3, 1, 14}, 320}, {{3, 1, 9}, 128},
                    {{2, 3, 14}, 256}, {{2, 2, 1}, 8},    {{2, 1, 14}, 160}, {{0, 1, 14}, 160}};
    for (const auto& e : kEntries) EXPECT_EQ(header_of(e.bits).table_bitrate_kbps(), e.kbps) << e.bits.bitrate;
    // Every row rises with the index, and MPEG-2.5 uses MPEG-2's.
    for (uint32_t version : {0u, 2u, 3u}) {
        for (uint32_t layer = 1; layer <= 3; ++layer) {
            EXPECT_EQ(header_of({version, layer}).layer_number(), static_cast<int32_t>(4 - layer));
            for (uint32_t index = 1, previous = 0; index < 15; ++index) {
                const int32_t kbps = header_of({version, layer, index}).table_bitrate_kbps();
                EXPECT_GT(kbps, static_cast<int32_t>(previous)) << version << " " << layer << " " << index;
                if (version == 0) {
                    EXPECT_EQ(kbps, header_of({2, layer, index}).table_bitrate_kbps());
                }
                previous = static_cast<uint32_t>(kbps);
            }
        }
    }
    // MPEG-1's rates; MPEG-2 halves them and MPEG-2.5 quarters them.
    const int32_t kMpeg1Rates[3] = {44100, 48000, 32000};
    for (uint32_t index = 0; index < 3; ++index) {
        EXPECT_EQ(header_of({3, 1, 9, index}).sampling_rate_hz(), kMpeg1Rates[index]);
        EXPECT_EQ(header_of({2, 1, 9, index}).sampling_rate_hz(), kMpeg1Rates[index] / 2);
        EXPECT_EQ(header_of({0, 1, 9, index}).sampling_rate_hz(), kMpeg1Rates[index] / 4);
    }
}

// The frames of files other encoders made (tests/data), walked header by
// header: each header's length must carry the walk from the first frame to
// the end of the audio in as many frames as were found there, at the rate
// ffprobe reports, and a CBR stream's bitrate must be the one ffprobe gives.
TEST(FrameHeader, WalksTheFramesOfOtherEncodersFiles) {
    using velkor::testing::JsonValue;
    std::size_t walked = 0;
    for (const auto& [name, facts] : velkor::testing::facts().members) {
        const JsonValue& walk = facts["frame_walk"];
        if (walk["frames"].number == 0) continue;
        SCOPED_TRACE(name);
        std::ifstream in(velkor::testing::data_path(name), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto byte = [&](std::size_t at) { return static_cast<uint8_t>(bytes[at]); };
        std::map<std::string, double> kbps;
        std::size_t at = static_cast<std::size_t>(walk["first_frame_offset"].number), frames = 0;
        for (; at + 4 <= bytes.size() && at < walk["audio_end"].number; ++frames) {
            const FrameHeader h = header_of(byte(at), byte(at + 1), byte(at + 2), byte(at + 3));
            ASSERT_EQ(h.is_valid(), 1) << "at " << at;
            EXPECT_EQ(h.sampling_rate_hz(), facts["ffprobe"]["sample_rate"].number);
            EXPECT_EQ(h.layer_number(), facts["mutagen_info"]["layer"].number);
            EXPECT_EQ(h.version_number(), facts["mpeg"]["mpeg_version"].number);
            // A frame cut off by the file's end counts as a frame, not as a rate.
            if (at + static_cast<std::size_t>(h.frame_length()) <= bytes.size()) ++kbps[std::to_string(h.table_bitrate_kbps())];
            at = std::min(at + static_cast<std::size_t>(h.frame_length()), bytes.size());
        }
        EXPECT_EQ(at, walk["audio_end"].number);
        EXPECT_EQ(frames, walk["frames"].number);
        const double stream_bps = facts["ffprobe"]["stream_bit_rate"].number;
        if (walk["kbps_histogram"].members.size() == 1) {
            EXPECT_EQ(kbps.begin()->first + "000", std::to_string(static_cast<long>(stream_bps)));
        }
        for (const auto& [rate, count] : walk["kbps_histogram"].members) EXPECT_EQ(kbps[rate], count.number) << rate;
        ++walked;
    }
    EXPECT_GE(walked, 14u);
}

TEST(FrameHeader, VersionTextNamesVersionAndLayer) {
    const char* const kVersions[4] = {"2.5", "0", "2", "1"};
    const char* const kLayers[4] = {"", "III", "II", "I"};
    const float kNumbers[4] = {2.5f, 0.0f, 2.0f, 1.0f};
    for (uint32_t version = 0; version < 4; ++version) {
        for (uint32_t layer = 1; layer <= 3; ++layer) {
            EXPECT_EQ(version_text(header_of({version, layer})),
                      std::string("MPEG ") + kVersions[version] + " Layer " + kLayers[layer]);
            EXPECT_EQ(header_of({version, layer}).version_number(), kNumbers[version]);
        }
    }
}

TEST(FrameHeader, ModeNames) {
    const char* expected[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};
    for (uint32_t mode = 0; mode < 4; ++mode) EXPECT_EQ(mode_name(header_of({3, 1, 9, 0, mode})), expected[mode]);
}

// Each rule alone: reserved version, reserved layer, free format, bad
// bitrate index, reserved rate, reserved emphasis.
TEST(FrameHeader, EachValidityRuleAloneRejects) {
    ASSERT_EQ(header_of(Fields{}).is_valid(), 1);
    for (const Fields& f : {Fields{1}, Fields{3, 0}, Fields{3, 1, 0}, Fields{3, 1, 15}, Fields{3, 1, 9, 3},
                            Fields{3, 1, 9, 0, 0, 2}}) {
        EXPECT_EQ(header_of(f).is_valid(), 0) << f.version << f.layer << f.bitrate << f.sampling << f.emphasis;
    }
    // Emphasis 1 and 3 and every mode pass.
    for (uint32_t emphasis : {0u, 1u, 3u}) EXPECT_EQ(header_of({3, 1, 9, 0, 0, emphasis}).is_valid(), 1);
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
    EXPECT_EQ(header_of({1}).table_bitrate_kbps() + header_of({1}).sampling_rate_hz(), 0);
    EXPECT_EQ(header_of({3, 0}).table_bitrate_kbps(), 0);
    EXPECT_EQ(header_of({3, 1, 9, 3}).sampling_rate_hz(), 0);
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
