// The stream's figures against files from other encoders (tests/data/
// facts.json: what other readers and a frame walk found), and files that
// are no MPEG audio or whose chain of frames is cut.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "json_value.h"
#include "legacy/record_figures.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using namespace velkor::testing;

int32_t facts_of(const std::string& path, velkor_file_facts& f, std::string* format = nullptr) {
    velkor_file* file = nullptr;
    f = {};
    f.size = sizeof f;
    const int32_t status = velkor_open(path.c_str(), 0, &file);
    if (status == VELKOR_OK && velkor_facts(file, &f) == VELKOR_OK && format) *format = velkor_text(file, VELKOR_STREAM_FORMAT);
    velkor_close(file);
    return status;
}

// Frames: the VBR header's count, else the walk's (an estimate within one; a
// file cut short is marked and estimated too);
// the VBR average from the header's bytes; audio without trailing tags.
TEST(StreamFigures, FilesFromOtherEncoders) {
    const std::string dir = std::string(VELKOR_SOURCE_DIR) + "/tests/data/";
    std::ifstream in(dir + "facts.json", std::ios::binary);
    const JsonValue all = JsonReader::parse(std::string(std::istreambuf_iterator<char>(in), {})).value();
    ASSERT_GE(all.members.size(), 16u);
    for (const auto& [name, facts] : all.members) {
        SCOPED_TRACE(name);
        velkor_file_facts f;
        const int32_t status = facts_of(dir + name, f);
        const JsonValue &walk = facts["frame_walk"], &summary = facts["summary"];
        if (walk["frames"].number == 0) {
            EXPECT_EQ(status, VELKOR_ERROR_NO_AUDIO);
            continue;
        }
        ASSERT_EQ(status, VELKOR_OK);
        const bool header = !summary["vbr_header"].is_null(), xing = header && summary["vbr_header"].text == "Xing";
        // A file cut short: the header's bytes run past its end (11); its
        // frames then are those the walk found, less the header's own,
        // estimated from the header's average.
        const double file_size = facts["size_bytes"].number, first = walk["first_frame_offset"].number;
        const bool cut = xing && facts["mpeg"]["xing"]["bytes"].number > file_size - first;
        EXPECT_EQ(f.truncated, cut ? 1 : 0);
        const double frames = cut ? walk["frames"].number - 1
                              : header ? facts["mpeg"]["xing"]["frames"].number
                                       : walk["frames"].number;
        const int per_frame = summary["layer"].number == 3 && summary["mpeg_version"].number != 1 ? 576 : 1152;
        const double rate = summary["sample_rate"].number;
        const std::size_t rates = walk["kbps_histogram"].members.size();
        EXPECT_EQ(f.frames_exact, header && !cut ? 1 : 0);
        EXPECT_LE(std::abs(f.frames - frames), header && !cut ? 0 : 1);
        EXPECT_EQ(f.samples, f.frames * per_frame);
        EXPECT_EQ(f.duration_ms, std::llround(f.samples * 1000.0 / rate));
        EXPECT_EQ(f.bitrate_varies, xing || (!header && rates > 1) ? 1 : 0);
        // The first frame's (CBR), the header's bytes over the duration, or
        // near what others measured (sampled).
        double kbps = rates == 1 ? std::stod(walk["kbps_histogram"].members.begin()->first) : f.bitrate_kbps;
        if (xing) {
            kbps = std::round(facts["mpeg"]["xing"]["bytes"].number * 8 * rate /
                              (facts["mpeg"]["xing"]["frames"].number * per_frame * 1000));
        }
        if (!header && rates > 1) kbps = summary["bit_rate"].number / 1000;
        EXPECT_NEAR(f.bitrate_kbps, kbps, !header && rates > 1 ? 3 : 0);
        EXPECT_EQ(f.audio_bytes, walk["audio_end"].number - walk["first_frame_offset"].number);
    }
}

constexpr std::size_t kFrame = 417;  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz

// A VBR stream of `frames` audio frames of 417 and 522 bytes (128 and 160
// kbit/s), behind a first frame with a Xing header that counts them (and,
// when `with_bytes`, the stream's bytes with its own frame).
Bytes xing_stream(int frames, bool with_bytes) {
    Bytes bytes;
    put_header(bytes, 0);
    bytes.resize(kFrame);
    for (int i = 0; i < frames; ++i) {
        const uint8_t header[4] = {0xFF, 0xFB, static_cast<uint8_t>(i % 3 ? 0x90 : 0xA0), 0x64};
        const std::size_t at = bytes.size();
        put(bytes, at, Bytes(header, header + 4));
        bytes.resize(at + velkor::testing::frame_bytes(header));
    }
    Bytes xing = velkor::testing::xing(with_bytes ? 3 : 1, static_cast<uint32_t>(frames));
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    if (with_bytes) xing.insert(xing.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    put(bytes, 36, xing);
    return bytes;
}

// A file cut short is marked, and its figures come from the bytes it holds
// (within 3 % estimated, exact when counted); a whole file, with a tag
// behind or a header without a byte count that a mild cut leaves
// plausible, is not. The legacy figures keep the header's count.
TEST(StreamFigures, CutFilesAreMarkedAndFiguredFromTheirBytes) {
    TempDir dir;
    constexpr int kFrames = 3000;  // about 1.4 MB
    const Bytes whole = xing_stream(kFrames, true), bare = xing_stream(kFrames, false);
    struct Case {
        const char* name;
        Bytes bytes;
        bool truncated;
        double tolerance;  // of the estimate against the frames the file holds
    } cases[] = {
        {"whole", whole, false, 0},
        {"whole with ID3v1", [&] { Bytes b = whole; put(b, b.size(), velkor::testing::id3v1("T", "", "", "", "", 0, 0)); return b; }(), false, 0},
        {"cut at 60 %", Bytes(whole.begin(), whole.begin() + whole.size() * 6 / 10), true, 0.03},
        {"cut to 30,000 bytes behind a tag",
         [&] { Bytes b = velkor::testing::id3v2_header(18000); b.resize(18010); b.insert(b.end(), whole.begin(), whole.begin() + 11990); return b; }(),
         true, 0.03},
        {"no byte count, cut to 3 %", Bytes(bare.begin(), bare.begin() + bare.size() * 3 / 100), true, 0.25},
        {"no byte count, cut at 90 %", Bytes(bare.begin(), bare.begin() + bare.size() * 9 / 10), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("cut.mp3", c.bytes);
        // The frames the file holds, as a count finds them (the last one
        // cut short among them), less the header's own.
        velkor_file* file = nullptr;
        ASSERT_EQ(velkor_open(path.c_str(), VELKOR_OPEN_COUNT_FRAMES, &file), VELKOR_OK);
        velkor_file_facts counted = {};
        counted.size = sizeof counted;
        velkor_facts(file, &counted);
        velkor_close(file);
        velkor_file_facts f;
        ASSERT_EQ(facts_of(path, f), VELKOR_OK);
        EXPECT_EQ(f.truncated, c.truncated ? 1 : 0);
        EXPECT_EQ(counted.truncated, f.truncated);
        EXPECT_EQ(counted.frames_exact, 1);
        if (c.truncated) {
            EXPECT_EQ(f.frames_exact, 0);
            EXPECT_LT(counted.frames, kFrames);
            EXPECT_NEAR(f.frames, counted.frames, counted.frames * c.tolerance + 1);
            EXPECT_EQ(f.gapless_duration_ms, -1);
        } else {
            EXPECT_EQ(f.frames, kFrames);
            EXPECT_EQ(f.frames_exact, 1);
        }
        velkor::Mp3FileInfo info;
        ASSERT_EQ(info.load(path.c_str()), 0);
        EXPECT_EQ(velkor::legacy::frame_count(info), kFrames);
    }
}

// A chain may end where the audio does only where a frame ends there.
TEST(StreamFigures, ChainEndsOnlyWhereAFrameEnds) {
    TempDir dir;
    for (const auto& [size, status] : {std::pair<std::size_t, int32_t>{3 * kFrame, 0}, {2 * kFrame + 3, 0},
                                       {3 * kFrame - 1, 4}, {2 * kFrame + 10, 4}, {kFrame - 1, 4}, {kFrame, 0}}) {
        Bytes bytes;
        put_header(bytes, 0);
        bytes.resize(size);
        velkor::Mp3FileInfo info;
        EXPECT_EQ(info.load(dir.write("chain.mp3", bytes).c_str()), status) << size;
    }
}

std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// Another format's file is no MPEG audio, even with frames in it, at its
// start or behind an ID3v2 tag; MPEG audio in RIFF is its data chunk.
TEST(StreamFigures, OtherFormatsAreNotMpegAudio) {
    TempDir dir;
    const std::string wave = "RIFF" + le32(0) + "WAVE" + "fmt " + le32(2);
    for (const std::string& signature :
         {std::string("fLaC"), std::string("OggS"), "FORM" + le32(0) + "AIFF", "FORM" + le32(0) + "AIFC",
          le32(0) + "ftypisom", std::string("\x7F" "ELF"), std::string("MZ"), std::string("PK\x03\x04", 4),
          std::string("%PDF"), std::string("\x89PNG"), wave + std::string("\x01\x00", 2), "RIFF" + le32(0) + "AVI "}) {
        for (const bool tagged : {false, true}) {
            Bytes bytes = tagged ? id3v2_header(0) : Bytes();
            put(bytes, bytes.size(), signature);
            put_header(bytes, 200);
            const std::string path = dir.write("other.mp3", bytes);
            char report[VELKOR_REPORT_SIZE];
            EXPECT_EQ(VkOpenMp3File(path.c_str(), report, 0), 0) << signature;
            velkor_file_facts f;
            EXPECT_EQ(facts_of(path, f), VELKOR_ERROR_NO_AUDIO) << signature;
        }
    }
    const std::string head = wave + std::string("\x55\x00", 2) + "data" + le32(3 * kFrame);
    Bytes bytes;
    put(bytes, 0, head + std::string(3 * kFrame, '\0') + "LIST" + le32(100) + std::string(100, 'x'));
    put_header(bytes, head.size());
    velkor_file_facts f;
    std::string format;
    ASSERT_EQ(facts_of(dir.write("wave.mp3", bytes), f, &format), VELKOR_OK);
    EXPECT_EQ(f.first_frame_offset, static_cast<int64_t>(head.size()));
    EXPECT_EQ(f.audio_bytes, static_cast<int64_t>(3 * kFrame));
    EXPECT_EQ(f.frames, 3);
    EXPECT_EQ(f.stream_format, VELKOR_FORMAT_RIFF_MPEG);
    EXPECT_EQ(format, "MPEG audio in RIFF");
}

}  // namespace
