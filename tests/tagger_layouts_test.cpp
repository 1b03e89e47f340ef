// Files as people have them: covers in large ID3v2 tags, VBR and CBR audio
// behind such a tag, files that only look like MPEG audio, a file of one
// frame, VBRI headers. Each is checked through the analysis object (with
// what it reads) and both exports.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "legacy/record_figures.h"
#include "platform/file_source.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::Mp3FileInfo;
using velkor::platform::FileSource;
using velkor::testing::Bytes;
using velkor::testing::id3v2_header;
using velkor::testing::id3v2_text_frame;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::put_lone_header;
using velkor::testing::TempDir;

// An ID3v2.3 tag of text frames (and any other frames) in the given order.
Bytes tag_of(std::initializer_list<Bytes> frames) {
    Bytes body;
    for (const Bytes& frame : frames) put(body, body.size(), frame);
    Bytes tag = id3v2_header(static_cast<uint32_t>(body.size()));
    put(tag, tag.size(), body);
    return tag;
}

Bytes big_be(uint32_t n) { return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)}; }

// The tag, then MPEG-1 Layer III frames at 128 kbit/s (417 bytes each) for
// `audio` bytes in all, the first one holding `in_first` at offset 36; the
// file is sparse behind the first frames.
std::string tagged_stream(const TempDir& dir, const std::string& name, const Bytes& tag,
                          int64_t audio, const Bytes& in_first = {}) {
    Bytes head = tag;
    const std::size_t first = head.size();
    put_header(head, first);
    put(head, first + 36, in_first);
    return dir.write_sparse(name, head, static_cast<int64_t>(first) + audio);
}

struct Case {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    int32_t status;
    int32_t frames = 0, bitrate = 0, length = 0;
    const char* title = "";
    const char* artist = "";
    uint64_t most_bytes_read = 0;  // 0: not checked
};

const Bytes kCover = id3v2_text_frame("APIC", std::string(1'000'000, '\xFF'));
const Bytes kSmallCover = id3v2_text_frame("APIC", std::string(200'000, 'c'));

const Case kCases[] = {
    {"TextsBeforeAndBehindAOneMegabyteCover",
     [](const TempDir& d) {
         return tagged_stream(d, "cover.mp3",
                              tag_of({id3v2_text_frame("TIT2", "Before"), kCover,
                                      id3v2_text_frame("TPE1", "Behind")}),
                              961'000);
     },
     0, 2299, 128, 60, "Before", "Behind", 16 * 1024},
    // 60 s of VBR: the average and the frame count see the audio, not the cover.
    {"XingBehindA200KilobyteTag",
     [](const TempDir& d) {
         return tagged_stream(d, "vbr.mp3", tag_of({id3v2_text_frame("TIT2", "V"), kSmallCover}),
                              960'000, velkor::testing::xing(1, 2297));
     },
     0, 2297, 127, 60, "V"},
    {"CbrBehindA200KilobyteTag",
     [](const TempDir& d) {
         return tagged_stream(d, "cbr.mp3", tag_of({kSmallCover, id3v2_text_frame("TIT2", "C")}),
                              961'000);
     },
     0, 2299, 128, 60, "C"},
    // VBRI stands 32 bytes behind the header; its count 14 bytes behind "VBRI".
    {"VbriFrameCount",
     [](const TempDir& d) {
         Bytes vbri = {'V', 'B', 'R', 'I', 0, 1, 0, 0, 0, 50};
         put(vbri, vbri.size(), big_be(960'000));
         put(vbri, vbri.size(), big_be(2297));
         return tagged_stream(d, "vbri.mp3", {}, 960'000, vbri);
     },
     0, 2297, 127, 60},
    {"LoneHeaderInZeros",
     [](const TempDir& d) {
         Bytes bytes(100'000, 0);
         put_lone_header(bytes, 5000);
         return d.write("lone.mp3", bytes);
     },
     4},
    // PCM whose samples happen to hold a valid header, with more sound behind.
    {"RiffWaveWithAFalseHeader",
     [](const TempDir& d) {
         Bytes bytes(50'000, 0);
         put(bytes, 0, std::string("RIFF\x48\xC3\x00\x00WAVEfmt ", 16));
         put(bytes, 36, std::string("data"));
         for (std::size_t i = 44; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 % 251);
         put_lone_header(bytes, 20'000);
         return d.write("wave.mp3", bytes);
     },
     4},
    // One padded frame: the chain ends with the file.
    {"OneFrame",
     [](const TempDir& d) {
         Bytes bytes(418, 0);
         put(bytes, 0, Bytes{0xFF, 0xFB, 0x92, 0x64});
         return d.write("one.mp3", bytes);
     },
     0, 1, 128, 0},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class FilesInTheWild : public ::testing::TestWithParam<Case> {};

TEST_P(FilesInTheWild, AnalysisAndBothExports) {
    const Case& c = GetParam();
    TempDir dir;
    const std::string path = c.make(dir);

    FileSource::thread_counter() = {};
    Mp3FileInfo info;
    ASSERT_EQ(info.load(path.c_str()), c.status);
    if (c.most_bytes_read > 0) {
        EXPECT_LE(FileSource::thread_counter().bytes, c.most_bytes_read);
        // velkor's own interface reads the whole tag's texts and pictures'
        // descriptions, and no more of the picture; without a VBR header,
        // two small reads sample the frames.
        FileSource::thread_counter() = {};
        velkor_file* file = nullptr;
        ASSERT_EQ(velkor_open(path.c_str(), 0, &file), VELKOR_OK);
        EXPECT_LE(FileSource::thread_counter().bytes, c.most_bytes_read + 2 * 4096);
        EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_ARTIST), c.artist);
        velkor_close(file);
    }

    velkor_info_record record;
    VkGetSonvexStruct(path.c_str(), &record);
    char report[VELKOR_REPORT_SIZE];
    const int32_t written = VkOpenMp3File(path.c_str(), report, 0);
    if (c.status != 0) {
        EXPECT_STREQ(record.status, "Unable to open file (4)");
        EXPECT_EQ(written, 0);
        return;
    }
    EXPECT_EQ(written, 1);
    EXPECT_EQ(velkor::legacy::frame_count(info), c.frames);
    EXPECT_EQ(velkor::legacy::bitrate_kbps(info), c.bitrate);
    EXPECT_EQ(velkor::legacy::length_seconds(info), c.length);
    EXPECT_STREQ(record.frames, std::to_string(c.frames).c_str());
    EXPECT_STREQ(record.bitrate, std::to_string(c.bitrate).c_str());
    EXPECT_STREQ(record.length, std::to_string(c.length).c_str());
    EXPECT_STREQ(record.title, c.title);
    EXPECT_STREQ(record.artist, c.artist);
    EXPECT_NE(std::string(report).find("<sep>" + std::to_string(c.frames) + "<sep>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, FilesInTheWild, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
