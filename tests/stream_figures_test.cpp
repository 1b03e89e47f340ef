// The stream's figures against real files from other encoders (what other
// readers and a frame walk found, tests/data/facts.json), and files that
// are not MPEG audio or whose chain of frames is cut.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "json_value.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"
#include "velkor.h"

namespace {

using velkor::testing::Bytes;
using velkor::testing::JsonReader;
using velkor::testing::JsonValue;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::TempDir;

const std::string kData = std::string(VELKOR_SOURCE_DIR) + "/tests/data/";

JsonValue data_facts() {
    std::ifstream in(kData + "facts.json", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return JsonReader::parse(text).value();
}

velkor_file_facts facts_of(const std::string& path, int32_t& status) {
    velkor_file* file = nullptr;
    velkor_file_facts f = {};
    f.size = sizeof f;
    status = velkor_open(path.c_str(), 0, &file);
    if (status == VELKOR_OK) velkor_facts(file, &f);
    velkor_close(file);
    return f;
}

// Every file: the frames (the VBR header's count, else the walk's; an
// estimate within a frame), the duration to the nearest ms, the bitrate (a
// VBR header's bytes over the duration), the VBR flag and the audio's bytes
// (trailing APE and ID3v1 tags excluded).
TEST(StreamFigures, FilesFromOtherEncoders) {
    const JsonValue all = data_facts();
    ASSERT_GE(all.members.size(), 16u);
    for (const auto& [name, facts] : all.members) {
        SCOPED_TRACE(name);
        int32_t status = 0;
        const velkor_file_facts f = facts_of(kData + name, status);
        const JsonValue& walk = facts["frame_walk"];
        if (!walk.has("frames") || walk["frames"].number == 0) {
            EXPECT_EQ(status, VELKOR_ERROR_NO_AUDIO);
            continue;
        }
        ASSERT_EQ(status, VELKOR_OK);
        const JsonValue& summary = facts["summary"];
        const bool has_header = !summary["vbr_header"].is_null();
        const JsonValue& xing = has_header ? facts["mpeg"]["xing"] : summary;
        const bool xing_vbr = has_header && summary["vbr_header"].text == "Xing";
        const double frames = has_header ? xing["frames"].number : walk["frames"].number;
        const int per_frame = summary["layer"].number == 3 && summary["mpeg_version"].number != 1 ? 576 : 1152;
        const double rate = summary["sample_rate"].number;
        const double seconds = frames * per_frame / rate;

        EXPECT_EQ(f.frames_exact, has_header ? 1 : 0);
        EXPECT_LE(std::abs(f.frames - frames), has_header ? 0 : 1);
        EXPECT_EQ(f.samples, f.frames * per_frame);
        EXPECT_EQ(f.duration_ms, std::llround(f.samples * 1000.0 / rate));
        const bool varies = xing_vbr || (!has_header && walk["kbps_histogram"].members.size() > 1);
        EXPECT_EQ(f.bitrate_varies, varies ? 1 : 0);
        if (xing_vbr) {
            EXPECT_EQ(f.bitrate_kbps, std::lround(xing["bytes"].number * 8 / seconds / 1000));
        } else if (varies) {
            EXPECT_NEAR(f.bitrate_kbps, summary["bit_rate"].number / 1000, 3);
        } else if (walk["kbps_histogram"].members.size() == 1) {
            EXPECT_EQ(std::to_string(f.bitrate_kbps), walk["kbps_histogram"].members.begin()->first);
        }
        EXPECT_EQ(f.audio_bytes, walk["audio_end"].number - walk["first_frame_offset"].number);
        EXPECT_EQ(f.stream_format, VELKOR_FORMAT_MPEG);
    }
}

// Frames of 417 bytes (MPEG-1 Layer III, 128 kbit/s, 44100 Hz).
constexpr std::size_t kFrame = 417;

// D19: a chain may end where the audio does only where a frame ends there.
TEST(StreamFigures, ChainEndsOnlyWhereAFrameEnds) {
    TempDir dir;
    struct Case {
        std::size_t size;
        int32_t status;
    } const cases[] = {
        {3 * kFrame, 0},         // three whole frames
        {2 * kFrame + 3, 0},     // two, and fewer than 4 bytes behind them
        {3 * kFrame - 1, 4},     // the third cut short
        {2 * kFrame + 10, 4},    // a header's worth behind the second, no frame
        {kFrame - 1, 4},         // a single frame cut short
        {kFrame, 0},             // a single whole frame
    };
    for (const Case& c : cases) {
        Bytes bytes(c.size, 0);
        put_header(bytes, 0);
        bytes.resize(c.size);
        velkor::Mp3FileInfo info;
        EXPECT_EQ(info.load(dir.write("chain.mp3", bytes).c_str()), c.status) << c.size;
    }
}

std::string le32(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// D22: another format's file is no MPEG audio, even with frames in it, at
// the start or behind an ID3v2 tag; MPEG audio in RIFF is its data chunk.
TEST(StreamFigures, OtherFormatsAreNotMpegAudio) {
    TempDir dir;
    const std::string signatures[] = {
        "fLaC", "OggS", "FORM" + le32(0) + "AIFF", "FORM" + le32(0) + "AIFC", le32(0) + "ftypisom",
        "\x7F" "ELF", "MZ", std::string("PK\x03\x04", 4), "%PDF", "\x89PNG",
        "RIFF" + le32(0) + "WAVE" + "fmt " + le32(2) + std::string("\x01\x00", 2), "RIFF" + le32(0) + "AVI ",
    };
    const Bytes tag = velkor::testing::id3v2_header(0);
    for (const std::string& signature : signatures) {
        for (const bool tagged : {false, true}) {
            SCOPED_TRACE(signature + (tagged ? " tagged" : ""));
            Bytes bytes = tagged ? tag : Bytes();
            put(bytes, bytes.size(), signature);
            put_header(bytes, 200);
            bytes.resize(200 + 3 * kFrame);
            const std::string path = dir.write("other.mp3", bytes);
            char report[VELKOR_REPORT_SIZE];
            EXPECT_EQ(VkOpenMp3File(path.c_str(), report, 0), 0);
            velkor_info_record record;
            VkGetSonvexStruct(path.c_str(), &record);
            EXPECT_STREQ(record.status, "Unable to open file (4)");
            int32_t status = 0;
            facts_of(path, status);
            EXPECT_EQ(status, VELKOR_ERROR_NO_AUDIO);
        }
    }
    // Layer III in a WAVE file: the stream is its data chunk.
    const std::string head = "RIFF" + le32(0) + "WAVE" + "fmt " + le32(2) + std::string("\x55\x00", 2) + "data" +
                             le32(3 * kFrame);
    Bytes bytes;
    put(bytes, 0, head);
    put_header(bytes, head.size());
    put(bytes, head.size() + 3 * kFrame, std::string("LIST") + le32(100) + std::string(100, 'x'));
    const std::string path = dir.write("wave.mp3", bytes);
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(path.c_str(), 0, &file), VELKOR_OK);
    velkor_file_facts f = {};
    f.size = sizeof f;
    velkor_facts(file, &f);
    EXPECT_EQ(f.first_frame_offset, static_cast<int64_t>(head.size()));
    EXPECT_EQ(f.audio_bytes, static_cast<int64_t>(3 * kFrame));
    EXPECT_EQ(f.frames, 3);
    EXPECT_EQ(f.stream_format, VELKOR_FORMAT_RIFF_MPEG);
    EXPECT_STREQ(velkor_text(file, VELKOR_STREAM_FORMAT), "MPEG audio in RIFF");
    velkor_close(file);
}

}  // namespace
