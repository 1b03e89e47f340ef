// What one file may cost, whatever it claims: texts cut at 1 MiB, pictures
// capped and sized from their stored bytes, genre references and runs of
// 0xFF in linear time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "stream/frame_scan.h"
#include "tags/id3v2_tag.h"
#include "test_files.h"

namespace {

using velkor::testing::Bytes;
constexpr std::size_t kMiB = 1024 * 1024, kCap = velkor::kMaxTextBytes;
constexpr double kSeconds = 4;  // well above an optimised build, sanitizers included; quadratic takes minutes

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes times(const Bytes& unit, std::size_t n) { Bytes out(unit.size() * n); for (std::size_t i = 0; i < out.size(); ++i) out[i] = unit[i % unit.size()]; return out; }
uint32_t syncsafe(uint32_t n) { return (n & 0x7F) | (n << 1 & 0x7F00) | (n << 2 & 0x7F0000) | (n << 3 & 0x7F000000); }
Bytes frame(const char* id, const Bytes& body, uint16_t flags = 0, uint32_t size = 0) {
    const uint32_t n = size ? size : uint32_t(body.size());  // 2.3 sizes; 2.4 ones of under 128 bytes
    return Bytes(id, id + 4) + Bytes{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), uint8_t(flags >> 8), uint8_t(flags)} + body;
}
Bytes tag(int version, const Bytes& frames, uint8_t flags = 0) {
    return velkor::testing::id3v2_header(uint32_t(frames.size()), uint8_t(version), flags) + frames;
}
const Bytes kPicture = Bytes{0, 'i', 0, 3, 'd', 0};  // encoding, MIME type, type, description

struct BoundCase { const char* name; std::function<Bytes()> build; std::size_t title_bytes, pictures; int64_t picture_bytes; };
void PrintTo(const BoundCase& c, std::ostream* os) { *os << c.name; }

const BoundCase kCases[] = {
    {"TitleCutAt1MiB", [] { return tag(3, frame("TIT2", Bytes{0} + Bytes(3 * kMiB, 'a'))); }, kCap, 0, 0},
    {"Latin1CutAtACharacter", [] { return tag(3, frame("TIT2", Bytes{0, 'a'} + Bytes(kMiB, 0xE9))); }, kCap - 1, 0, 0},
    {"GenreOf16MiBOfReferences", [] { return tag(3, frame("TCON", Bytes{0} + times({'(', '1', '7', ')'}, 4 * kMiB))); }, 0, 0, 0},
    {"PicturesPastTheCapNotKept", [] { return tag(3, times(frame("APIC", kPicture + Bytes{1}), 5000)); }, 0, 4096, 1},
    {"DataLengthNotTrusted", [] { return tag(4, frame("APIC", Bytes{0x7F, 0x7F, 0x7F, 0x7F} + kPicture + Bytes(100, 7), 1)); }, 0, 1, 100},
    // 2.4 unsynchronisation, one pair straddling the 64 KiB counting blocks.
    {"FrameUnsyncCounted", [] { return tag(4, frame("APIC", kPicture + Bytes(65529, 'y') + times({0xFF, 0, 'x'}, 40000), 2, syncsafe(185535))); }, 0, 1, 65529 + 80000},
    // 2.3 unsynchronisation of the whole tag: the frame size counts the body undone.
    {"TagUnsyncCounted", [] { return tag(3, frame("APIC", kPicture + Bytes{0xFF, 0, 0xFF, 0, 'z'}, 0, 9), 0x80); }, 0, 1, 3},
};

class Id3v2Bounds : public ::testing::TestWithParam<BoundCase> {};

TEST_P(Id3v2Bounds, CostWhatTheBoundsSay) {
    const Bytes bytes = GetParam().build();
    velkor::SpanSource source(velkor::ByteSpan(bytes.data(), bytes.size()));
    const auto start = std::chrono::steady_clock::now();
    const velkor::Id3v2Tag t = velkor::read_id3v2_tag(source, int64_t(bytes.size()));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kSeconds);
    EXPECT_EQ(t.title.size(), GetParam().title_bytes);
    EXPECT_EQ(t.truncated, GetParam().title_bytes > 0 || t.picture_frames > 4096 || !t.genre.empty());
    EXPECT_LE(t.genre.size(), kCap);
    // Every case is one frame but for the pictures; 4096 frames are listed.
    EXPECT_EQ(t.frame_count, std::max<int64_t>(t.picture_frames, 1));
    EXPECT_EQ(int64_t(t.frames.size()), std::min<int64_t>(t.frame_count, 4096));
    ASSERT_EQ(t.pictures.size(), GetParam().pictures);
    for (const velkor::Id3v2Picture& p : t.pictures) {
        EXPECT_EQ(p.bytes, GetParam().picture_bytes);
        EXPECT_EQ(velkor::picture_data(p, velkor::ByteSpan(bytes.data() + p.body_offset, p.stored_size)).size(), size_t(p.bytes));
    }
}
INSTANTIATE_TEST_SUITE_P(Cases, Id3v2Bounds, ::testing::ValuesIn(kCases), [](const auto& i) { return std::string(i.param.name); });

TEST(Bounds, GenresAndFFRunsInLinearTime) {
    std::string genre;
    while (genre.size() < 16 * kMiB) genre += "(17)(RX)((; (";
    const Bytes ff = Bytes(64 * kMiB, 0xFF) + Bytes{0xFF, 0xFB, 0x90, 0x64} + Bytes(9, 0xFF);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(velkor::resolve_genre(genre).compare(0, 20, "Rock; Remix; (; (17)"), 0);
    EXPECT_EQ(velkor::find_frame_header(velkor::ByteSpan(ff.data(), ff.size()), 0, ff.size()), 64 * kMiB);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kSeconds);
}

}  // namespace
