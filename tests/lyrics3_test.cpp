// Lyrics3 blocks of both versions found from their ends, and the size
// digits and markers a damaged block gets wrong.
#include <gtest/gtest.h>

#include <string>

#include "tag_bytes.h"
#include "tags/lyrics3.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

const std::string kAudio(50, '\xFF');

TEST(Lyrics3Block, VersionsAndDamage) {
    const std::string v2 = lyrics3v2("IND00003110LYR00005hello");
    std::string bad_digits = v2;
    bad_digits[v2.size() - 10] = 'x';
    std::string size_past_start = v2;
    size_past_start.replace(v2.size() - 15, 6, "999999");
    const std::string long_v1 = "LYRICSBEGIN" + std::string(Lyrics3Block::kMaxV1Lyrics + 1, 'l') + "LYRICSEND";
    struct Case {
        const char* name;
        std::string file;
        int32_t version;
        int64_t begin;
    } const cases[] = {
        {"version 2", kAudio + v2, 2, 50},
        {"version 1", kAudio + "LYRICSBEGINla la LYRICSEND", 1, 50},
        {"version 1, two begins", kAudio + "LYRICSBEGINxLYRICSBEGINy LYRICSEND", 1, 62},
        {"version 1 too long", kAudio + long_v1, 0, 0},
        {"size not digits", kAudio + bad_digits, 0, 0},
        {"size past the start", kAudio + size_past_start, 0, 0},
        {"no begin marker", kAudio + "000010LYRICS200", 0, 0},
        {"audio alone", kAudio, 0, 0},
        {"end marker only", "LYRICSEND", 0, 0},
    };
    for (const Case& c : cases) {
        SpanSource source = source_of(c.file);
        const Lyrics3Block block = find_lyrics3_block(source, static_cast<int64_t>(c.file.size()));
        EXPECT_EQ(block.version, c.version) << c.name;
        if (c.version == 0) continue;
        EXPECT_EQ(block.begin, c.begin) << c.name;
        EXPECT_EQ(block.end, static_cast<int64_t>(c.file.size())) << c.name;
    }
}

TEST(Lyrics3Block, NeverStartsBeforeTheFloor) {
    const std::string file = kAudio + lyrics3v2("LYR00002hi");
    SpanSource source = source_of(file);
    const auto end = static_cast<int64_t>(file.size());
    EXPECT_EQ(find_lyrics3_block(source, end, 50).version, 2);
    EXPECT_EQ(find_lyrics3_block(source, end, 51).version, 0);
}

}  // namespace
