// velkor_open_stream against velkor_open with every frame counted: the same
// facts and texts from a stream fed in uneven blocks, whether it is short
// (held whole) or far longer than the head and tail it keeps.
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

// Hands out the bytes in blocks of changing sizes; -1 once `fail_at`
// bytes went out.
struct Feed {
    const Bytes* bytes;
    std::size_t fail_at = static_cast<std::size_t>(-1);
    std::size_t at = 0;
    std::size_t turn = 0;
};

int32_t VELKOR_CALL feed(void* context, void* buffer, int32_t size) {
    static constexpr std::size_t kSizes[] = {1, 4093, 65536, 10, 777, 30000, 3};
    auto& f = *static_cast<Feed*>(context);
    if (f.at >= f.fail_at) return -1;
    std::size_t n = std::min({kSizes[f.turn++ % std::size(kSizes)], static_cast<std::size_t>(size),
                              f.bytes->size() - f.at, f.fail_at - f.at});
    std::memcpy(buffer, f.bytes->data() + f.at, n);
    f.at += n;
    return static_cast<int32_t>(n);
}

Bytes frames_of(const uint8_t (&header)[4], int count) {
    Bytes frame(frame_bytes(header), 0);
    std::memcpy(frame.data(), header, sizeof header);
    Bytes out;
    for (int i = 0; i < count; ++i) out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Streams far longer than the 2 MiB tail kept.
std::vector<std::pair<std::string, Bytes>> long_streams() {
    constexpr uint8_t k160[4] = {0xFF, 0xFB, 0xA0, 0x64};
    std::vector<std::pair<std::string, Bytes>> out;

    // Bitrates alternating behind a Xing header whose count is wrong, an
    // ID3v2 tag in front and an ID3v1 tag behind.
    Bytes vbr = frames_of(kMpeg1Header, 1);
    put(vbr, 36, xing(1, 5));
    for (int i = 0; i < 3000; ++i) vbr = vbr + frames_of(kMpeg1Header, 2) + frames_of(k160, 1);
    const Bytes title = {'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'L', 'o', 'n', 'g'};
    const Bytes tail = id3v1("Tail", "Artist", "", "", "", 4, 17);
    out.emplace_back("vbr", id3v2_header(static_cast<uint32_t>(title.size())) + title + vbr + tail);

    // The last frame cut short: where the frame behind it would start, the
    // ID3v1 tag's comment holds a header, which is no frame.
    const std::size_t frame = frame_bytes(kMpeg1Header);
    Bytes cut = frames_of(kMpeg1Header, 6001);
    cut.resize(cut.size() - frame + 300);
    Bytes tag = id3v1("Cut", "", "", "", "", 0, 0);
    std::memcpy(tag.data() + frame - 300, kMpeg1Header, sizeof kMpeg1Header);
    out.emplace_back("cut", cut + tag);

    // Junk in the middle ends the count there.
    out.emplace_back("junk", frames_of(kMpeg1Header, 100) + Bytes(3 << 20, 0x55) + frames_of(kMpeg1Header, 100));
    return out;
}

std::vector<std::pair<std::string, Bytes>> sample_streams() {
    std::vector<std::pair<std::string, Bytes>> out;
    for (const char* folder : {VELKOR_SOURCE_DIR "/samples", VELKOR_SOURCE_DIR "/tests/data"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".mp3") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            out.emplace_back(entry.path().string(), Bytes(std::istreambuf_iterator<char>(in), {}));
        }
    }
    return out;
}

TEST(StreamOpen, GivesTheFactsOfTheFileCountedFrameByFrame) {
    const TempDir dir;
    auto streams = sample_streams();
    ASSERT_GE(streams.size(), 20u);
    for (auto& named : long_streams()) {
        named.first = dir.write(named.first + ".mp3", named.second);
        streams.push_back(named);
    }
    for (const auto& [path, bytes] : streams) {
        SCOPED_TRACE(path);
        velkor_file *by_path = nullptr, *streamed = nullptr;
        const int32_t expected = velkor_open(path.c_str(), VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO, &by_path);
        Feed f{&bytes};
        ASSERT_EQ(velkor_open_stream(feed, &f, VELKOR_OPEN_WITHOUT_AUDIO, &streamed), expected);
        EXPECT_EQ(f.at, bytes.size());
        ASSERT_NE(by_path, nullptr);
        ASSERT_NE(streamed, nullptr);
        velkor_file_facts facts = {}, want = {};
        facts.size = want.size = sizeof facts;
        velkor_facts(streamed, &facts);
        velkor_facts(by_path, &want);
        EXPECT_EQ(facts.frames, want.frames);
        EXPECT_EQ(facts.duration_ms, want.duration_ms);
        EXPECT_EQ(facts.bitrate_kbps, want.bitrate_kbps);
        EXPECT_EQ(std::memcmp(&facts, &want, sizeof facts), 0);
        for (int32_t field = VELKOR_ID3V2_TITLE; field <= VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID; ++field) {
            const char* text = velkor_text(streamed, field);
            const char* wanted = velkor_text(by_path, field);
            EXPECT_EQ(text == nullptr, wanted == nullptr) << field;
            if (text && wanted) {
                EXPECT_STREQ(text, wanted) << field;
            }
        }
        EXPECT_EQ(velkor_frame_count(streamed), velkor_frame_count(by_path));
        EXPECT_EQ(velkor_ape_item_count(streamed), velkor_ape_item_count(by_path));
        velkor_close(by_path);
        velkor_close(streamed);
    }
}

TEST(StreamOpen, FailsWhenTheStreamCannotBeRead) {
    const Bytes bytes = frames_of(kMpeg1Header, 8000);
    velkor_file* file = nullptr;
    for (const std::size_t fail_at : {std::size_t{0}, std::size_t{5000}, bytes.size() - 1}) {
        Feed f{&bytes, fail_at};
        EXPECT_EQ(velkor_open_stream(feed, &f, 0, &file), VELKOR_ERROR_READ) << fail_at;
        EXPECT_EQ(file, nullptr);
    }
    EXPECT_EQ(velkor_open_stream(nullptr, nullptr, 0, &file), VELKOR_ERROR_ARGUMENT);
    Feed f{&bytes};
    EXPECT_EQ(velkor_open_stream(feed, &f, 0x80, &file), VELKOR_ERROR_ARGUMENT);
}

}  // namespace
