// Mp3FileInfo::load: statuses, the frame scan, the reads it makes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "../fuzz/file_checks.h"
#include "legacy/record_figures.h"
#include "notice_recorder.h"
#include "platform/file_source.h"
#include "stream/frame_scan.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"

namespace {

using velkor::platform::FileSource;
using velkor::Mp3FileInfo;
using velkor::testing::Bytes;
using velkor::testing::NoticeRecorder;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::put_lone_header;
using velkor::testing::TempDir;

// Paths that cannot be opened or are no regular file: HostileFiles (the
// notice, its text and style, the object left as it was).
TEST(LoaderStatus, NullPathIsRefusedWithoutANotice) {
    NoticeRecorder recorder;
    Mp3FileInfo info;
    EXPECT_EQ(info.load(nullptr), 2);
    EXPECT_TRUE(recorder.notices().empty());
}

TEST(LoaderStatus, FilesTooSmallForAnyCandidate) {
    TempDir dir;
    NoticeRecorder recorder;
    const Bytes header(velkor::testing::kMpeg1Header, velkor::testing::kMpeg1Header + 4);
    for (std::size_t n = 0; n <= 4; ++n) {
        Mp3FileInfo info;
        const std::string path = dir.write("small.mp3", Bytes(header.begin(), header.begin() + n));
        EXPECT_EQ(info.load(path.c_str()), 4) << n;
        EXPECT_EQ(info.file_size(), static_cast<int64_t>(n));
        EXPECT_EQ(velkor::legacy::header_pos(info), 0);
        EXPECT_EQ(info.path, path);
    }
    // One byte more and the header at offset 0 is a candidate, but its frame
    // is cut short: no stream. A whole frame is one.
    Bytes five = header;
    five.push_back(0);
    Mp3FileInfo info;
    EXPECT_EQ(info.load(dir.write("five.mp3", five).c_str()), 4);
    five.resize(velkor::testing::frame_bytes(velkor::testing::kMpeg1Header));
    EXPECT_EQ(info.load(dir.write("whole.mp3", five).c_str()), 0);
    EXPECT_EQ(velkor::legacy::header_pos(info), 1);
    EXPECT_TRUE(recorder.notices().empty());  // status 4 shows nothing
}

TEST(LoaderStatus, NoValidHeaderKeepsTheLastCandidate) {
    TempDir dir;
    Bytes bytes(5000, 0);
    // Near misses: sync without a valid rest, and a header in the last four
    // bytes, which is never a candidate.
    put(bytes, 100, Bytes{0xFF, 0xE0, 0x00, 0x00});
    put(bytes, 200, Bytes{0xFF, 0xFB, 0xF0, 0x64});  // bitrate index 15
    put_lone_header(bytes, 4996);
    Mp3FileInfo info;
    EXPECT_EQ(info.load(dir.write("none.mp3", bytes).c_str()), 4);
    EXPECT_EQ(velkor::legacy::header_pos(info), 4996);
    EXPECT_EQ(info.header.word, 0x00FFFB90u);  // the bytes at offset 4995
    EXPECT_EQ(info.has_id3v1, 0);
}

// What load must find: the plain walk over every candidate, as the fuzz
// target checks it too.
int64_t reference_scan(const Bytes& file) {
    const int64_t frame =
        velkor::fuzzing::plain_walk(velkor::ByteSpan(file.data(), file.size())).frame;
    return frame < 0 ? -1 : frame + 1;
}

int64_t loaded_header_pos(const TempDir& dir, const Bytes& bytes) {
    Mp3FileInfo info;
    const int32_t status = info.load(dir.write("scan.mp3", bytes).c_str());
    return status == 0 ? velkor::legacy::header_pos(info) : -1;
}

TEST(LoaderScan, HeaderAtOffsetZeroAndBeyondTheWorkingBuffer) {
    TempDir dir;
    Bytes bytes(200000, 0);
    put_header(bytes, 0);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 1);
    put(bytes, 0, Bytes(4, 0));
    put_header(bytes, 150000);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 150001);
    put(bytes, 150000, Bytes(4, 0));
    put_header(bytes, 99995);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 99996);
    put(bytes, 99995, Bytes(4, 0));
    // A header whose frame runs past the end opens no stream.
    put_lone_header(bytes, bytes.size() - 5);
    EXPECT_EQ(loaded_header_pos(dir, bytes), -1);
    put(bytes, bytes.size() - 5, Bytes(5, 0));
    put_lone_header(bytes, bytes.size() - 4);
    EXPECT_EQ(loaded_header_pos(dir, bytes), -1);
}

TEST(LoaderScan, HeadersAcrossEveryReadBoundary) {
    // Reads split the file around 4 KiB, 8 KiB and 72 KiB; a header must be
    // found whichever way its four bytes fall.
    TempDir dir;
    for (std::size_t around : {4096u, 8189u, 73722u, 139258u}) {
        for (std::size_t at = around - 6; at <= around + 3; ++at) {
            Bytes bytes(160000, 0);
            put_header(bytes, at);
            EXPECT_EQ(loaded_header_pos(dir, bytes), static_cast<int64_t>(at + 1)) << at;
        }
    }
}

TEST(LoaderScan, StartsBehindAnId3v2Tag) {
    TempDir dir;
    // UTF-16 text in the tag: FF FE 54 00 decodes as an MPEG-1 Layer I header.
    Bytes bytes = velkor::testing::id3v2_header(300);
    put(bytes, 40, Bytes{0xFF, 0xFE, 0x54, 0x00});
    put_header(bytes, 310);
    bytes.resize(2000);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 311);

    // A footer (flag bit 4) adds ten bytes to skip.
    put(bytes, 0, velkor::testing::id3v2_header(290, 4, 0x10));
    EXPECT_EQ(loaded_header_pos(dir, bytes), 311);

    // A tag that claims more than the file holds: the scan starts at 0, and
    // the false header in the text is not confirmed by frames behind it.
    put(bytes, 0, velkor::testing::id3v2_header(1995));
    EXPECT_EQ(loaded_header_pos(dir, bytes), 311);

    // A tag of 100,000 bytes or more is skipped like any other.
    Bytes large = velkor::testing::id3v2_header(150000);
    put(large, 500, Bytes{0xFF, 0xFE, 0x54, 0x00});
    put_header(large, 150010);
    large.resize(160000);
    Mp3FileInfo info;
    ASSERT_EQ(info.load(dir.write("large.mp3", large).c_str()), 0);
    EXPECT_EQ(velkor::legacy::header_pos(info), 150011);
    EXPECT_EQ(info.has_id3v2, 0);

    // Not a tag header: version byte 0xFF, or a size byte of 0x80 or more.
    put(bytes, 0, velkor::testing::id3v2_header(300, 0xFF));
    EXPECT_EQ(loaded_header_pos(dir, bytes), 311);
    put(bytes, 0, velkor::testing::id3v2_header(300));
    bytes[8] = 0x80;
    EXPECT_EQ(loaded_header_pos(dir, bytes), 311);
}

TEST(LoaderScan, JukeboxMarkerSkipsCandidatesUpTo1999) {
    TempDir dir;
    for (std::size_t r = 1; r <= 231; ++r) {
        Bytes bytes(4000, 0);
        put(bytes, 1, std::string(r - 1, 'x'));  // no zero byte before the marker
        put_header(bytes, 0);
        put(bytes, r, "RealJukebox");
        put_header(bytes, 1000);
        put_header(bytes, 2500);
        // The window of candidate 0 holds the marker up to r = 22; behind
        // that the header at 0 is found first.
        EXPECT_EQ(loaded_header_pos(dir, bytes), r <= 22 ? 2501 : 1) << r;
        bytes[0] = 0;
        EXPECT_EQ(loaded_header_pos(dir, bytes), r <= 230 ? 2501 : 1001) << r;
    }
    // At offset 0 the marker is outside every window.
    Bytes bytes(3000, 0);
    put(bytes, 0, "RealJukebox");
    put_header(bytes, 1000);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 1001);
    // A zero byte cuts the window short of the marker.
    bytes.assign(3000, 0);
    put(bytes, 1, "RealJuke");
    put(bytes, 10, "box");
    put_header(bytes, 1000);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 1001);
    // Offset 1999 is still passed over, 2000 is tested.
    bytes.assign(4000, 0);
    put(bytes, 5, "RealJukebox");
    put_lone_header(bytes, 1999);
    EXPECT_EQ(loaded_header_pos(dir, bytes), -1);
    put_header(bytes, 2000);
    EXPECT_EQ(loaded_header_pos(dir, bytes), 2001);
}

TEST(LoaderScan, AgreesWithThePlainScanOnRandomFiles) {
    TempDir dir;
    std::mt19937 random(20240607);
    for (int round = 0; round < 60; ++round) {
        // Half the bytes 0xFF, half zero, a rare random one: plenty of sync
        // bytes, few valid headers, sizes around the read boundaries; now and
        // then a tag header, the marker, a header at 2050.
        const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 140000)(random);
        Bytes bytes(size);
        for (auto& byte : bytes) {
            const uint32_t r = random();
            byte = r % 50000 == 0 ? static_cast<uint8_t>(r >> 24) : (r & 1) ? 0xFF : 0x00;
        }
        if (round % 3 == 0 && size > 20) put(bytes, 0, velkor::testing::id3v2_header(round * 97));
        if (round % 4 == 1 && size > 200) put(bytes, round % 150 + 1, "RealJukebox");
        if (round % 5 == 2 && size > 2100) put_header(bytes, 2050);
        EXPECT_EQ(loaded_header_pos(dir, bytes), reference_scan(bytes)) << "round " << round;
    }
}

// A typical file's reads: ReadCount.TypicalFilesReadTheirStartAndTheirEndOnly.
TEST(LoaderRead, LargerTagAndSmallFileReads) {
    TempDir dir;
    const Bytes tail = velkor::testing::id3v1("Title", "Artist", "Album", "2001", "", 3, 17);
    Mp3FileInfo info;
    // A larger tag is walked as far as its frames go (here: none), and the
    // frame behind it costs one small block.
    Bytes big = velkor::testing::id3v2_header(30000);
    put_header(big, 30010);
    FileSource::thread_counter() = {};
    ASSERT_EQ(info.load(dir.write_sparse("big-tag.mp3", big, 3000000, tail).c_str()), 0);
    EXPECT_EQ(velkor::legacy::header_pos(info), 30011);
    EXPECT_EQ(FileSource::thread_counter().bytes, 4096u + 4096u + 256u);

    // A small file is read once.
    FileSource::thread_counter() = {};
    Bytes small(962, 0);  // two whole frames and the ID3v1 tag
    put_header(small, 0);
    put(small, 962 - 128, tail);
    ASSERT_EQ(info.load(dir.write("small.mp3", small).c_str()), 0);
    EXPECT_EQ(info.has_id3v1, 1);
    EXPECT_EQ(FileSource::thread_counter().bytes, 962u);
    EXPECT_EQ(FileSource::thread_counter().reads, 1u);
}

TEST(LoaderRead, XingBehindTheSideInformation) {
    TempDir dir;
    struct Case {
        uint8_t header[4];
        std::size_t xing_at;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 36},  // MPEG-1, joint stereo
        {{0xFF, 0xFB, 0x90, 0xC4}, 21},  // MPEG-1, single channel
        {{0xFF, 0xF3, 0x90, 0x44}, 21},  // MPEG-2, joint stereo
        {{0xFF, 0xE3, 0x80, 0x04}, 21},  // MPEG-2.5, stereo
        {{0xFF, 0xF3, 0x90, 0xC4}, 13},  // MPEG-2, single channel
        {{0xFF, 0xE3, 0x80, 0xC0}, 13},  // MPEG-2.5, single channel
    };
    for (const Case& c : cases) {
        for (std::size_t at : {c.xing_at - 1, c.xing_at, c.xing_at + 1}) {
            Bytes bytes(100 + 3 * velkor::testing::frame_bytes(c.header), 0);
            put_header(bytes, 100, c.header);
            put(bytes, 100 + at, velkor::testing::xing(1, 777));
            Mp3FileInfo info;
            ASSERT_EQ(info.load(dir.write("xing.mp3", bytes).c_str()), 0);
            EXPECT_EQ(info.is_vbr, at == c.xing_at ? 1 : 0) << at;
            EXPECT_EQ(info.vbr.frames(), at == c.xing_at ? 777 : -1) << at;
        }
    }
}

TEST(LoaderRead, Id3v1IsReadEvenWhenTheXingReadRunsPastTheEnd) {
    TempDir dir;
    // A header in the ID3v1 comment: its frame runs past the audio's end.
    Bytes bytes = velkor::testing::id3v1("Title", "", "", "1999", "", 0, 1);
    put_lone_header(bytes, 100);
    Mp3FileInfo info;
    ASSERT_EQ(info.load(dir.write("short.mp3", bytes).c_str()), 4);

    // Shorter than an ID3v1 block: no tag. One whole 72-byte frame (MPEG-2.5
    // Layer III, 8 kbit/s, 8 kHz, mono) with its Xing header.
    static constexpr uint8_t kSmallFrame[4] = {0xFF, 0xE3, 0x18, 0xC0};
    bytes.assign(velkor::testing::frame_bytes(kSmallFrame), 0);
    put_lone_header(bytes, 0, kSmallFrame);
    put(bytes, 4 + 9, velkor::testing::xing(1, 5));
    ASSERT_EQ(info.load(dir.write("tiny.mp3", bytes).c_str()), 0);
    EXPECT_EQ(info.is_vbr, 1);
    EXPECT_EQ(info.has_id3v1, 0);
}

TEST(LoaderTags, ReaderGetsTheWholeTagAndId3v1ComesLast) {
    TempDir dir;
    // A large frame first, so the title lies far beyond the first read.
    Bytes body = velkor::testing::id3v2_text_frame("PRIV", std::string(20000, 'p'));
    put(body, body.size(), velkor::testing::id3v2_text_frame("TIT2", "Far Title"));
    put(body, body.size(), velkor::testing::id3v2_text_frame("TYER", "1987"));
    Bytes bytes = velkor::testing::id3v2_header(static_cast<uint32_t>(body.size()));
    put(bytes, 10, body);
    put_header(bytes, bytes.size());
    bytes.resize(bytes.size() + 1000);
    Mp3FileInfo info;
    ASSERT_EQ(info.load(dir.write("v2.mp3", bytes).c_str()), 0);
    EXPECT_EQ(info.has_id3v2, 1);
    EXPECT_STREQ(info.tag.v2_title, "Far Title");
    EXPECT_EQ(info.tag.year, 1987);
    EXPECT_EQ(velkor::legacy::header_pos(info), static_cast<int64_t>(10 + body.size() + 1));

    // The ID3v1 year replaces the one from the ID3v2 tag.
    put(bytes, bytes.size(), velkor::testing::id3v1("", "", "", "2003", "", 0, 0));
    Mp3FileInfo both;
    ASSERT_EQ(both.load(dir.write("both.mp3", bytes).c_str()), 0);
    EXPECT_EQ(both.has_id3v2, 1);
    EXPECT_EQ(both.has_id3v1, 1);
    EXPECT_EQ(both.tag.year, 2003);
}

TEST(FrameScan, FindsOnlyCandidatesInRange) {
    Bytes bytes(64, 0);
    put_header(bytes, 10);
    put_header(bytes, 60);
    const velkor::ByteSpan span(bytes.data(), bytes.size());
    EXPECT_EQ(velkor::find_frame_header(span, 0, 64), 10u);
    EXPECT_EQ(velkor::find_frame_header(span, 0, 10), velkor::kNoFrame);
    EXPECT_EQ(velkor::find_frame_header(span, 11, 64), 60u);
    EXPECT_EQ(velkor::find_frame_header(span.first(63), 11, 64), velkor::kNoFrame);
    EXPECT_EQ(velkor::find_frame_header(span.first(3), 0, 64), velkor::kNoFrame);
}

}  // namespace

// Bytes in memory are analysed as the same bytes in a file are: every
// sample, with the interface's options, and files whose frame lies beyond
// the first reads.
TEST(LoaderMemory, BytesInMemoryAnalyseAsTheFile) {
    TempDir dir;
    std::vector<std::string> paths;
    for (const char* name : {"cbr_id3v11.mp3", "id3v23_utf16.mp3", "id3v24_utf8_cover.mp3", "mpeg2_id3v10.mp3",
                             "vbr_xing.mp3"}) {
        paths.push_back(std::string(VELKOR_SAMPLES_DIR) + "/" + name);
    }
    Bytes far(150000, 0);
    put_header(far, 120000);
    paths.push_back(dir.write("far.mp3", far));
    paths.push_back(dir.write("none.mp3", Bytes(70000, 0xFF)));

    velkor::LoadOptions options;
    options.full = true;
    options.count_frames = true;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        FileSource file;
        ASSERT_EQ(file.open(path.c_str()), velkor::platform::FileProblem::kNone);
        Mp3FileInfo from_file, from_memory;
        velkor::SpanSource memory(velkor::ByteSpan(bytes.data(), bytes.size()));
        const int32_t status = from_file.analyse(file, file.size(), path.c_str(), options);
        EXPECT_EQ(from_memory.analyse(memory, static_cast<int64_t>(bytes.size()), path.c_str(), options), status);
        SCOPED_TRACE(path);
        EXPECT_EQ(from_memory.file_size(), from_file.file_size());
        EXPECT_EQ(from_memory.first_frame_offset, from_file.first_frame_offset);
        EXPECT_EQ(from_memory.header.word, from_file.header.word);
        if (status != velkor::kStatusOk) continue;
        EXPECT_EQ(from_memory.has_id3v1, from_file.has_id3v1);
        EXPECT_EQ(from_memory.id3v2_tag.title, from_file.id3v2_tag.title);
        EXPECT_EQ(from_memory.id3v2_tag.pictures.size(), from_file.id3v2_tag.pictures.size());
        const velkor::StreamFigures a = from_memory.stream_figures(), b = from_file.stream_figures();
        EXPECT_EQ(a.frames, b.frames);
        EXPECT_EQ(a.bitrate_kbps, b.bitrate_kbps);
        EXPECT_EQ(a.gapless_duration_ms, b.gapless_duration_ms);
        EXPECT_STREQ(from_memory.vbr.encoder(), from_file.vbr.encoder());
    }
}
