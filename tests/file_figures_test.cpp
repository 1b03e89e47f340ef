// The figures a loaded Mp3FileInfo derives: bitrate, frame count, length.
#include <gtest/gtest.h>

#include <string>

#include "legacy/record_figures.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"

namespace {

using velkor::Mp3FileInfo;
using velkor::testing::Bytes;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::TempDir;

struct Figures {
    int32_t bitrate, frames, length;
    std::string length_text;
};

// Loads a file of `size` bytes that starts with `header` (and `behind` 4
// bytes after it, for a Xing header), and takes its figures.
Figures figures_of(const TempDir& dir, const uint8_t (&header)[4], int64_t size,
                   const Bytes& xing = {}, std::size_t xing_at = 36) {
    Bytes head;
    put_header(head, 0, header);
    if (!xing.empty()) put(head, xing_at, xing);
    Mp3FileInfo info;
    EXPECT_EQ(info.load(dir.write_sparse("figures.mp3", head, size).c_str()), 0);
    char text[velkor::legacy::kLengthTextSize];
    velkor::legacy::length_text(info, text);
    return {velkor::legacy::bitrate_kbps(info), velkor::legacy::frame_count(info), velkor::legacy::length_seconds(info),
            text};
}

constexpr uint8_t kMpeg1Layer3[4] = {0xFF, 0xFB, 0x90, 0x64};   // 128 kbit/s, 44100 Hz
constexpr uint8_t kMpeg1Layer2[4] = {0xFF, 0xFD, 0x90, 0x00};   // 160 kbit/s, 44100 Hz
constexpr uint8_t kMpeg1Layer1[4] = {0xFF, 0xFF, 0x90, 0x00};   // 288 kbit/s, 44100 Hz
constexpr uint8_t kMpeg2Layer3[4] = {0xFF, 0xF3, 0x90, 0x44};   // 80 kbit/s, 22050 Hz
constexpr uint8_t kMpeg2Layer2[4] = {0xFF, 0xF5, 0x90, 0x00};   // 80 kbit/s, 22050 Hz
constexpr uint8_t kMpeg2Layer1[4] = {0xFF, 0xF7, 0x90, 0x00};   // 144 kbit/s, 22050 Hz
constexpr uint8_t kMpeg25Layer3[4] = {0xFF, 0xE3, 0x80, 0xC0};  // 64 kbit/s, 11025 Hz, mono

TEST(FileFigures, LengthFromOneHourOnShowsHours) {
    TempDir dir;
    const Figures f = figures_of(dir, kMpeg1Layer3, 59600001);
    EXPECT_EQ(f.length, 3725);
    EXPECT_EQ(f.length_text, "01:02:05");
    EXPECT_EQ(figures_of(dir, kMpeg1Layer3, 57600001).length_text, "01:00:00");
    EXPECT_EQ(figures_of(dir, kMpeg1Layer3, 57600000).length_text, "59:59");
    EXPECT_EQ(figures_of(dir, kMpeg1Layer3, 417).length_text, "00:00");
    // The hours field grows past two digits (a sparse file of 5.8 GB).
    EXPECT_EQ(figures_of(dir, kMpeg1Layer3, 5760000001 + 16000 * 3599).length_text, "100:59:59");
}

TEST(FileFigures, FrameEstimateForEachVersionAndLayer) {
    // Frame size = bitrate / sampling rate * k, with k 48 for Layer I, 144
    // for Layer II and MPEG-1 Layer III, 72 for MPEG-2(.5) Layer III.
    TempDir dir;
    struct Case {
        const uint8_t (&header)[4];
        int32_t bitrate, frames, length;
    };
    const Case cases[] = {
        {kMpeg1Layer1, 288, 3190, 27}, {kMpeg1Layer2, 160, 1914, 49},
        {kMpeg1Layer3, 128, 2392, 62}, {kMpeg2Layer1, 144, 3190, 55},
        {kMpeg2Layer2, 80, 1914, 99},  {kMpeg2Layer3, 80, 3828, 99},
        {kMpeg25Layer3, 64, 2392, 124},
    };
    for (const Case& c : cases) {
        const Figures f = figures_of(dir, c.header, 1000000);
        EXPECT_EQ(f.bitrate, c.bitrate) << c.frames;
        EXPECT_EQ(f.frames, c.frames) << c.bitrate;
        EXPECT_EQ(f.length, c.length) << c.bitrate;
    }
}

TEST(FileFigures, XingAverageBitrate) {
    TempDir dir;
    const Bytes ten_thousand = velkor::testing::xing(1, 10000);
    Figures f = figures_of(dir, kMpeg1Layer3, 5000000, ten_thousand);
    EXPECT_EQ(f.bitrate, 153);  // 44100 * 500 / 144,000
    EXPECT_EQ(f.frames, 10000);
    EXPECT_EQ(f.length, 261);   // 39,999 kbit / 153

    // MPEG-2 Layer III frames hold half the samples: k is 72.
    f = figures_of(dir, kMpeg2Layer3, 300000, velkor::testing::xing(1, 1000), 21);
    EXPECT_EQ(f.bitrate, 91);
    EXPECT_EQ(f.frames, 1000);
    EXPECT_EQ(f.length, 26);
    f = figures_of(dir, kMpeg25Layer3, 200000, velkor::testing::xing(1, 1000), 13);
    EXPECT_EQ(f.bitrate, 30);
    f = figures_of(dir, kMpeg1Layer1, 400000, velkor::testing::xing(1, 1000));
    EXPECT_EQ(f.bitrate, 367);  // k 48
}

TEST(FileFigures, XingWithoutAUsableCountFallsBack) {
    TempDir dir;
    const Figures constant = figures_of(dir, kMpeg1Layer3, 4000000);
    const Bytes unusable[] = {
        velkor::testing::xing(0, 10000),       // no frame count
        velkor::testing::xing(1, 0),           // zero frames
        velkor::testing::xing(1, 0xFFFFFFF0),  // negative
    };
    for (const Bytes& xing : unusable) {
        const Figures f = figures_of(dir, kMpeg1Layer3, 4000000, xing);
        EXPECT_EQ(f.bitrate, constant.bitrate);
        EXPECT_EQ(f.frames, constant.frames);
        EXPECT_EQ(f.length, constant.length);
    }
    // An average that truncates to 0 kbit/s gives length 0, no division.
    const Figures tiny = figures_of(dir, kMpeg1Layer3, 3 * 417, velkor::testing::xing(1, 1000000));
    EXPECT_EQ(tiny.bitrate, 0);
    EXPECT_EQ(tiny.length, 0);
    EXPECT_EQ(tiny.length_text, "00:00");
}

TEST(FileFigures, FilesBeyond4GiB) {
    // A sparse file: the header at the start, a hole, an ID3v1 tag at the
    // end. Sizes and the length need more than 32 bits here.
    TempDir dir;
    const int64_t size = (int64_t{5} << 30) + 12345;
    Bytes head;
    put_header(head, 0);
    const Bytes tail = velkor::testing::id3v1("Far away", "", "", "2020", "", 0, 12);
    Mp3FileInfo info;
    ASSERT_EQ(info.load(dir.write_sparse("huge.mp3", head, size, tail).c_str()), 0);
    EXPECT_EQ(info.file_size(), size);
    EXPECT_EQ(info.has_id3v1, 1);
    EXPECT_EQ(velkor::legacy::frame_count(info), 12845085);
    EXPECT_EQ(velkor::legacy::length_seconds(info), 335545);  // ((size - 1) * 8 / 1000) / 128
    char text[velkor::legacy::kLengthTextSize];
    velkor::legacy::length_text(info, text);
    EXPECT_STREQ(text, "93:12:25");
}

}  // namespace
