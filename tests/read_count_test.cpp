// How much the analysis reads, counted by the loader's file reader: a
// typical file costs a few kilobytes, a file without any header is read in
// large blocks, and the results are those of the whole-buffer analysis.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/file_source.h"
#include "stream/mp3_file_info.h"
#include "../fuzz/file_checks.h"
#include "test_files.h"

namespace {

using velkor::platform::FileSource;
using velkor::FrameHeader;
using velkor::Mp3FileInfo;
using velkor::platform::ReadCounter;
using velkor::TagRecord;
using velkor::testing::Bytes;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::put_lone_header;
using velkor::testing::TempDir;

// What the analysis gives when it holds the whole file in memory: the tag
// reader sees the working buffer, the scan tests every offset behind the
// tag, the Xing header sits behind the side information, the ID3v1 block is
// the last 128 bytes. The files below carry no ripper marker, so the scan
// needs no rule for it.
struct Expected {
    FrameHeader header;
    int64_t first_frame_offset = -1;
    int32_t is_vbr = 0;
    int32_t vbr_frames = 0;
    int32_t has_id3v1 = 0;
    int32_t has_id3v2 = 0;
    TagRecord tag;
};

Expected analyse_in_memory(const Bytes& file) {
    Expected e;
    const velkor::ByteSpan all(file.data(), file.size());
    const velkor::fuzzing::PlainWalk walk = velkor::fuzzing::plain_walk(all);
    if (walk.id3v2_header) {
        e.has_id3v2 = e.tag.LoadTag2(
            all, static_cast<int32_t>(std::min<int64_t>(all.size, 10 + walk.id3v2_size)));
    }
    if (walk.frame < 0) return e;  // every file here has a frame
    e.header.set_bytes(&file[static_cast<std::size_t>(walk.frame)]);
    e.first_frame_offset = walk.frame;
    e.is_vbr = walk.is_vbr;
    e.vbr_frames = walk.xing_frames;
    e.has_id3v1 = e.tag.read_id3v1(all.from(file.size() - 128));
    return e;
}

void expect_same_results(const Mp3FileInfo& info, const Expected& e) {
    EXPECT_EQ(info.header.word, e.header.word);
    EXPECT_EQ(info.first_frame_offset, e.first_frame_offset);
    EXPECT_EQ(info.is_vbr, e.is_vbr);
    EXPECT_EQ(info.vbr.frames(), e.vbr_frames);
    EXPECT_EQ(info.has_id3v1, e.has_id3v1);
    EXPECT_EQ(info.has_id3v2, e.has_id3v2);
    for (auto text : {&TagRecord::title, &TagRecord::artist, &TagRecord::album, &TagRecord::comment,
                      &TagRecord::v2_title, &TagRecord::v2_album, &TagRecord::v2_artist,
                      &TagRecord::v2_comment, &TagRecord::v2_genre, &TagRecord::v2_track,
                      &TagRecord::v2_year}) {
        EXPECT_STREQ(info.tag.*text, e.tag.*text);
    }
    EXPECT_EQ(info.tag.year, e.tag.year);
    EXPECT_EQ(info.tag.track, e.tag.track);
    EXPECT_EQ(info.tag.genre, e.tag.genre);
}

// A file as an encoder and a tagger leave it: an ID3v2.3 tag with the usual
// texts, a front cover of `cover` bytes when asked, a comment and `padding`
// zero bytes, the frame stream right behind it (the first frame holding a
// Xing header when `vbr`), an ID3v1.1 tag at the end.
Bytes typical_file(std::size_t padding, bool vbr, std::size_t stream_size, std::size_t cover = 0) {
    Bytes body;
    for (const auto& [id, text] : {std::pair<std::string, std::string>{"TIT2", "A Title"},
                                   {"TPE1", "An Artist"}, {"TALB", "An Album"}, {"TYER", "1999"},
                                   {"TRCK", "4/12"}, {"TCON", "(8)"}}) {
        put(body, body.size(), velkor::testing::id3v2_text_frame(id, text));
    }
    if (cover > 0) {
        const std::string head = std::string("\0image/jpeg\0\x03\0", 14);
        const Bytes picture = velkor::testing::id3v2_text_frame("APIC", head.substr(1) + std::string(cover, 'p'));
        put(body, body.size(), picture);
        put(body, body.size(), velkor::testing::id3v2_text_frame("COMM", std::string("eng\0A comment", 13)));
    }
    body.resize(body.size() + padding, 0);
    Bytes file = velkor::testing::id3v2_header(static_cast<uint32_t>(body.size()));
    put(file, file.size(), body);
    const std::size_t first_frame = file.size();
    for (std::size_t at = first_frame; at + 417 <= first_frame + stream_size; at += 417) put_lone_header(file, at);
    file.resize(first_frame + stream_size, 0);
    if (vbr) put(file, first_frame + 36, velkor::testing::xing(1, 1234));
    put(file, file.size(), velkor::testing::id3v1("Title", "Artist", "Album", "2004", "Comment", 4, 8));
    return file;
}

ReadCounter counted_load(Mp3FileInfo& info, const std::string& path, int32_t expected_status = 0) {
    FileSource::thread_counter() = {};
    EXPECT_EQ(info.load(path.c_str()), expected_status) << path;
    return FileSource::thread_counter();
}

TEST(ReadCount, TypicalFilesReadTheirStartAndTheirEndOnly) {
    TempDir dir;
    // Tags small and padded; the last puts the first frame across the end
    // of the first 4 KiB.
    for (std::size_t padding : {0u, 200u, 1024u, 3900u}) {
        for (bool vbr : {false, true}) {
            const Bytes file = typical_file(padding, vbr, 500000);
            Mp3FileInfo info;
            const ReadCounter read = counted_load(info, dir.write("typical.mp3", file));
            SCOPED_TRACE("padding " + std::to_string(padding) + (vbr ? ", Xing" : ", CBR"));
            expect_same_results(info, analyse_in_memory(file));
            EXPECT_EQ(info.has_id3v2, 1);
            EXPECT_EQ(info.is_vbr, vbr ? 1 : 0);
            // The first 4 KiB (a second block when the frame crosses them) and
            // the end's 256 bytes, not the 99,999 bytes of the working buffer.
            const bool crosses = padding == 3900;
            EXPECT_EQ(read.bytes, (crosses ? 2 : 1) * 4096u + 256u);
            EXPECT_EQ(read.reads, crosses ? 3u : 2u);
            // Read at its start and end only: the system reads as it will.
            EXPECT_EQ(read.reads_apart, 0u);
        }
    }
}

// Opened as velkor_open opens it: the tags whole, and frames sampled at the
// middle and the end when no VBR header gives the stream's figures.
ReadCounter counted_open(Mp3FileInfo& info, const std::string& path) {
    FileSource file;
    EXPECT_EQ(file.open(path.c_str()), velkor::platform::FileProblem::kNone);
    velkor::LoadOptions options;
    options.full = true;
    options.sample_frames = true;
    FileSource::thread_counter() = {};
    EXPECT_EQ(info.analyse(file, file.size(), path.c_str(), options), 0);
    return FileSource::thread_counter();
}

// A VBR header gives the stream's figures: opened as velkor_open opens it,
// such a file costs its start and a small tail (one read more where the
// frames behind the tag cross the first 4 KiB), no sample windows; a stream
// without one is sampled at its middle and end.
TEST(ReadCount, OpenedVbrHeaderFilesReadTheirStartAndASmallTail) {
    TempDir dir;
    for (std::size_t padding : {0u, 1024u, 3000u, 3900u}) {
        for (bool vbr : {false, true}) {
            SCOPED_TRACE("padding " + std::to_string(padding) + (vbr ? ", Xing" : ", CBR"));
            Mp3FileInfo info;
            const ReadCounter read = counted_open(info, dir.write("opened.mp3", typical_file(padding, vbr, 500000)));
            EXPECT_EQ(info.is_vbr, vbr ? 1 : 0);
            const uint64_t crossing = padding == 3900 ? 1 : 0;  // the frames behind the tag cross 4 KiB
            if (vbr) {
                EXPECT_EQ(read.reads, 2u + crossing);
                EXPECT_LE(read.bytes, 4096u + 256u + crossing * 4096u);
            } else {
                EXPECT_EQ(read.reads, 3u + crossing);
                EXPECT_GT(info.sampled.frames, 12);
            }
            EXPECT_EQ(read.reads_apart, read.reads);
        }
    }
}

// The tail's size is chosen on what the start shows; when the frame behind
// the tag holds a Xing header but opens no stream (the frames behind it are
// missing), the stream found later is sampled all the same, at one read
// more: its figures are those of the same file without the stray header.
TEST(ReadCount, StrayVbrHeaderLeavesTheSampledFiguresAsTheyWere) {
    TempDir dir;
    Bytes plain = velkor::testing::id3v2_header(0);
    put_lone_header(plain, 10);  // refused: nothing follows it a frame on
    plain.resize(10 + 417 + 700, 0);
    const std::size_t stream = plain.size();
    for (std::size_t at = stream; at + 417 <= stream + 300000; at += 417) put_lone_header(plain, at);
    plain.resize(stream + 300000, 0);
    put(plain, plain.size(), velkor::testing::id3v1("Title", "", "", "", "", 0, 0));
    Bytes stray = plain;
    put(stray, 10 + 36, velkor::testing::xing(1, 5000));

    Mp3FileInfo without, with;
    const ReadCounter plain_read = counted_open(without, dir.write("plain.mp3", plain));
    const ReadCounter stray_read = counted_open(with, dir.write("stray.mp3", stray));
    EXPECT_EQ(with.first_frame_offset, static_cast<int64_t>(stream));
    EXPECT_EQ(with.vbr.kind(), velkor::VbrHeader::Kind::kNone);
    EXPECT_EQ(with.sampled.frames, without.sampled.frames);
    EXPECT_EQ(with.sampled.tail_frames, without.sampled.tail_frames);
    const velkor::StreamFigures a = without.stream_figures(), b = with.stream_figures();
    EXPECT_EQ(b.frames, a.frames);
    EXPECT_EQ(b.bitrate_kbps, a.bitrate_kbps);
    EXPECT_EQ(b.duration_ms, a.duration_ms);
    EXPECT_EQ(b.bitrate_varies, a.bitrate_varies);
    EXPECT_EQ(stray_read.reads, plain_read.reads + 1);
}

TEST(ReadCount, LargeTagIsWalkedNotReadWhole) {
    TempDir dir;
    // Padding or a picture of 1 MiB between the texts and the audio; the
    // bound: the frames at the start, the bytes behind the padding's start
    // or the picture, the sample windows and the file's end.
    struct Case {
        std::size_t padding, cover;
        bool vbr, opened;
        std::size_t most;
    } cases[] = {{40000, 0, false, false, 3 * 4096u + 256u},
                 {1024, 1u << 20, false, true, 16384 - 1},
                 {1024, 1u << 20, true, true, 16384 - 1},
                 {0, 1u << 20, false, true, 16384 - 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE("padding " + std::to_string(c.padding) + ", cover " + std::to_string(c.cover) +
                     (c.vbr ? ", Xing" : ", CBR"));
        const Bytes file = typical_file(c.padding, c.vbr, 500000, c.cover);
        const std::string path = dir.write("large-tag.mp3", file);
        Mp3FileInfo info;
        const ReadCounter read = c.opened ? counted_open(info, path) : counted_load(info, path);
        const Expected e = analyse_in_memory(file);
        if (c.opened) {
            EXPECT_EQ(info.header.word, e.header.word);
            EXPECT_EQ(info.first_frame_offset, e.first_frame_offset);
            EXPECT_EQ(info.is_vbr, e.is_vbr);
            EXPECT_EQ(info.has_id3v1, e.has_id3v1);
            EXPECT_EQ(info.id3v2_tag.pictures.size(), 1u);
            // A CBR stream sampled at all three places: no variation seen.
            if (!c.vbr) {
                EXPECT_GT(info.sampled.frames, 12);
            }
            EXPECT_FALSE(info.sampled.varies);
        } else {
            expect_same_results(info, e);
        }
        EXPECT_GT(info.first_frame_offset, static_cast<int64_t>(c.padding + c.cover));
        EXPECT_LE(read.bytes, c.most);
        // The tag goes on past the start: walked with read-ahead, which only
        // an opened file's start and sample in the middle are read without.
        EXPECT_EQ(read.reads_apart, c.opened ? (c.vbr ? 1u : 2u) : 0u);
    }
}

TEST(ReadCount, FileWithoutHeaderIsReadInLargeBlocks) {
    // 8 MiB of bytes that never start a header: every byte is read (none can
    // be skipped unseen), but in large blocks, not one read per offset.
    TempDir dir;
    std::mt19937 random(3);
    Bytes file(8u << 20);
    for (uint8_t& b : file) b = static_cast<uint8_t>(random() % 0xFF);
    Mp3FileInfo info;
    ReadCounter read = counted_load(info, dir.write("noise.mp3", file), 4);
    EXPECT_GE(read.bytes, file.size() - 4);
    EXPECT_LE(read.bytes, file.size() + file.size() / 1000);
    EXPECT_LE(read.reads, file.size() / 32768);
    EXPECT_EQ(read.reads_apart, 0u) << "the blocks are read in order, with read-ahead";

    // A header far in: found where the whole-buffer scan finds it, at the
    // same block cost.
    put_header(file, 5000001);
    put(file, file.size() - 128, velkor::testing::id3v1("Late", "", "", "", "", 0, 0));
    read = counted_load(info, dir.write("late.mp3", file));
    expect_same_results(info, analyse_in_memory(file));
    EXPECT_EQ(info.first_frame_offset, 5000001);
    EXPECT_LE(read.bytes, 5000001u + 65536u + 4096u + 128u);
}

}  // namespace

// Header-less VBR streams made frame by frame: the frame count estimated
// from a few windows lies within 5 % of the true one, at no more than four
// reads (the start, the end and two windows), where the sampling took three
// before. The shapes are those that set a sample off: sizes swinging from
// frame to frame, a slow rise over the whole stream, a long run of the
// encoder's silence at the start or the end (up to 13 s), louder and
// quieter phrases taking turns.
TEST(ReadCount, HeaderlessVbrIsEstimatedWithinFivePercent) {
    TempDir dir;
    // MPEG-1 Layer III at 44.1 kHz; kbit/s index i makes 144 x kbps / 44.1
    // bytes.
    struct Shape {
        const char* name;
        int frames;
        int (*index)(int at, int frames);  // the bitrate index of frame `at`
    } shapes[] = {
        {"swinging", 3000, [](int at, int) { return at % 5 == 4 ? 9 : at % 3 == 0 ? 13 : 11; }},
        {"rising", 2500, [](int at, int n) { return 8 + 5 * at / n + (at % 2); }},
        {"silent lead-in", 2000, [](int at, int n) { return at < n / 4 ? 1 : 10 + at % 3; }},
        {"silent fade-out", 2400, [](int at, int n) { return at > n * 4 / 5 ? 1 : 9 + at % 4; }},
        {"loud and quiet phrases", 2800, [](int at, int) { return at / 50 % 2 ? 11 + at % 2 : 9 + at % 2; }},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        Bytes file = velkor::testing::id3v2_header(0);
        for (int at = 0; at < shape.frames; ++at) {
            const uint8_t header[4] = {0xFF, 0xFB, static_cast<uint8_t>(shape.index(at, shape.frames) << 4), 0x64};
            const std::size_t offset = file.size();
            put_lone_header(file, offset, header);
            file.resize(offset + velkor::testing::frame_bytes(header));
        }
        put(file, file.size(), velkor::testing::id3v1("Title", "", "", "", "", 0, 0));
        Mp3FileInfo info;
        const ReadCounter read = counted_open(info, dir.write("vbr.mp3", file));
        const velkor::StreamFigures figures = info.stream_figures();
        EXPECT_FALSE(figures.frames_exact);
        EXPECT_TRUE(figures.bitrate_varies);
        EXPECT_NEAR(figures.frames, shape.frames, shape.frames * 0.05);
        EXPECT_LE(read.reads, 4u);
    }
}
