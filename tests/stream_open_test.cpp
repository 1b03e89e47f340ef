// velkor_open_stream against velkor_open with every frame counted: the same
// facts and texts from a stream fed in uneven blocks, short (held whole) or
// far longer than the head and tail it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_files.h"
#include "velkor.h"

namespace {

using namespace velkor::testing;

// Hands out the bytes in blocks of changing sizes; -1 once fail_at bytes
// went out.
struct Feed {
    const Bytes* bytes;
    std::size_t fail_at = static_cast<std::size_t>(-1);
    std::size_t at = 0, turn = 0;
};

int32_t VELKOR_CALL feed(void* context, void* buffer, int32_t size) {
    static constexpr std::size_t kSizes[] = {1, 4093, 65536, 10, 777, 30000, 3};
    auto& f = *static_cast<Feed*>(context);
    if (f.at >= f.fail_at) return -1;
    const std::size_t n = std::min({kSizes[f.turn++ % std::size(kSizes)], static_cast<std::size_t>(size),
                                    f.bytes->size() - f.at, f.fail_at - f.at});
    std::memcpy(buffer, f.bytes->data() + f.at, n);
    f.at += n;
    return static_cast<int32_t>(n);
}

void append_frames(Bytes& to, const uint8_t (&header)[4], int count) {
    Bytes frame(frame_bytes(header), 0);
    std::memcpy(frame.data(), header, sizeof header);
    for (int i = 0; i < count; ++i) to.insert(to.end(), frame.begin(), frame.end());
}

// Streams far longer than the 2 MiB tail kept, as files.
std::vector<std::string> long_streams(const TempDir& dir) {
    // Bitrates alternating behind a Xing header whose count is wrong, an
    // ID3v2 tag in front and an ID3v1 tag behind.
    constexpr uint8_t k160[4] = {0xFF, 0xFB, 0xA0, 0x64};
    Bytes vbr = id3v2_header(15);
    put(vbr, 10, Bytes{'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'L', 'o', 'n', 'g'});
    append_frames(vbr, kMpeg1Header, 1);
    put(vbr, 25 + 36, xing(1, 5));
    for (int i = 0; i < 3000; ++i) append_frames(vbr, i % 2 ? k160 : kMpeg1Header, 2);
    put(vbr, vbr.size(), id3v1("Tail", "Artist", "", "", "", 4, 17));

    // The last frame cut short: where the frame behind it would start, the
    // ID3v1 tag's comment holds a header, which is no frame.
    const std::size_t frame = frame_bytes(kMpeg1Header);
    Bytes cut;
    append_frames(cut, kMpeg1Header, 6001);
    cut.resize(cut.size() - frame + 300);
    Bytes tag = id3v1("Cut", "", "", "", "", 0, 0);
    std::memcpy(tag.data() + frame - 300, kMpeg1Header, sizeof kMpeg1Header);
    put(cut, cut.size(), tag);
    // A tag repeated behind the first, holding three frames of a 32 kHz
    // stream: the search starts behind both, streamed as well.
    constexpr uint8_t k32kHz[4] = {0xFF, 0xFB, 0x98, 0x64};
    Bytes repeated = id3v2_header(15);
    put(repeated, 10, Bytes{'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'O', 'n', 'c', 'e'});
    Bytes inner;
    append_frames(inner, k32kHz, 3);
    Bytes second = id3v2_header(static_cast<uint32_t>(inner.size()));
    second.insert(second.end(), inner.begin(), inner.end());
    repeated.insert(repeated.end(), second.begin(), second.end());
    append_frames(repeated, kMpeg1Header, 6000);
    return {dir.write("vbr.mp3", vbr), dir.write("cut.mp3", cut), dir.write("repeated.mp3", repeated)};
}

TEST(StreamOpen, GivesTheFactsOfTheFileCountedFrameByFrame) {
    const TempDir dir;
    std::vector<std::string> paths = long_streams(dir);
    for (const char* folder : {VELKOR_SOURCE_DIR "/samples", VELKOR_SOURCE_DIR "/tests/data"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".mp3") paths.push_back(entry.path().string());
        }
    }
    ASSERT_GE(paths.size(), 20u);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        const Bytes bytes(std::istreambuf_iterator<char>(in), {});
        velkor_file *by_path = nullptr, *streamed = nullptr;
        const int32_t expected = velkor_open(path.c_str(), VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO, &by_path);
        Feed f{&bytes};
        ASSERT_EQ(velkor_open_stream(feed, &f, VELKOR_OPEN_WITHOUT_AUDIO, &streamed), expected);
        ASSERT_TRUE(by_path && streamed);
        velkor_file_facts facts = {}, want = {};
        facts.size = want.size = sizeof facts;
        velkor_facts(streamed, &facts);
        velkor_facts(by_path, &want);
        EXPECT_EQ(facts.frames, want.frames);
        if (path.find("repeated.mp3") != std::string::npos) {
            EXPECT_EQ(want.sampling_rate_hz, 44100) << "not the frames inside the repeated tag";
            EXPECT_EQ(want.first_frame_offset, 25 + 10 + 3 * 576);
        }
        EXPECT_EQ(std::memcmp(&facts, &want, sizeof facts), 0) << "duration, bitrate, tags";
        for (int32_t field = VELKOR_ID3V2_TITLE; field <= VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID; ++field) {
            const char *text = velkor_text(streamed, field), *wanted = velkor_text(by_path, field);
            EXPECT_EQ(std::string(text ? text : "(none)"), std::string(wanted ? wanted : "(none)")) << field;
        }
        EXPECT_EQ(velkor_frame_count(streamed), velkor_frame_count(by_path));
        EXPECT_EQ(velkor_ape_item_count(streamed), velkor_ape_item_count(by_path));
        velkor_close(by_path);
        velkor_close(streamed);
    }
}

TEST(StreamOpen, FailsWhenTheStreamCannotBeRead) {
    Bytes bytes;
    append_frames(bytes, kMpeg1Header, 8000);
    velkor_file* file = nullptr;
    for (const std::size_t fail_at : {std::size_t{0}, std::size_t{5000}, bytes.size() - 1}) {
        Feed f{&bytes, fail_at};
        EXPECT_EQ(velkor_open_stream(feed, &f, 0, &file), VELKOR_ERROR_READ) << fail_at;
        EXPECT_EQ(file, nullptr);
    }
    EXPECT_EQ(velkor_open_stream(nullptr, nullptr, 0, &file), VELKOR_ERROR_ARGUMENT);
}

}  // namespace
