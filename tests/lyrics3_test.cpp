// Lyrics3 blocks of both versions found from their ends, and the size
// digits and markers a damaged block gets wrong.
#include <gtest/gtest.h>

#include "tag_bytes.h"
#include "tags/lyrics3.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

TEST(Lyrics3Block, VersionsDamageAndFloor) {
    const std::string v2 = lyrics3v2("IND00003110LYR00005hello");
    const std::string v1_long = "LYRICSBEGIN" + std::string(Lyrics3Block::kMaxV1Lyrics + 1, 'l') + "LYRICSEND";
    struct { const char* name; std::string block; int64_t floor; int32_t version; int64_t begin; } const cases[] = {
        {"version 2", v2, 0, 2, 50},
        {"version 2 below the floor", v2, 51, 0, 0},
        {"version 1", "LYRICSBEGINla la LYRICSEND", 0, 1, 50},
        {"version 1, two begins", "LYRICSBEGINxLYRICSBEGINy LYRICSEND", 0, 1, 62},
        {"version 1 too long", v1_long, 0, 0, 0},
        {"size not digits", std::string(v2).replace(v2.size() - 10, 1, "x"), 0, 0, 0},
        {"size past the start", std::string(v2).replace(v2.size() - 15, 6, "999999"), 0, 0, 0},
        {"no begin marker", "000010LYRICS200", 0, 0, 0},
        {"audio alone", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        const std::string file = std::string(50, '\xFF') + c.block;
        SpanSource source = source_of(file);
        const Lyrics3Block block = find_lyrics3_block(source, static_cast<int64_t>(file.size()), c.floor);
        EXPECT_EQ(block.version, c.version) << c.name;
        EXPECT_EQ(block.begin, c.begin) << c.name;
    }
}

}  // namespace
