// APE tags built byte by byte: where they stand, their items, and the
// counts and sizes a hostile file gets wrong.
#include <gtest/gtest.h>

#include <string>

#include "tag_bytes.h"
#include "tags/apev2_tag.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

const std::string kAudio(100, '\xFF');
const std::string kTwo = ape_item("Title", "Song") + ape_item("Artist", "One");

struct Case {
    const char* name;
    std::string file;
    int32_t version;
    int64_t begin;
    std::size_t items;
    bool damaged;
};

TEST(Apev2Tag, PlacementAndItemBounds) {
    const Case cases[] = {
        {"with header", kAudio + ape_tag(kTwo, 2), 2000, 100, 2, false},
        {"footer only", kAudio + ape_tag(kTwo, 2, false), 2000, 100, 2, false},
        {"count 2^32-1", kAudio + ape_tag(kTwo, 0xFFFFFFFF), 2000, 100, 2, true},
        {"count below items", kAudio + ape_tag(kTwo, 1), 2000, 100, 1, false},
        {"size past the start", kAudio + ape_tag(kTwo, 2, false, 0xFFFFFFFF), 0, 0, 0, false},
        {"size below a footer", kAudio + ape_tag("", 0, false, 31), 0, 0, 0, false},
        {"value past the tag", kAudio + ape_tag(le32(1000) + le32(0) + "Key" + '\0', 1), 2000, 100, 0, true},
        {"one-letter key", kAudio + ape_tag(ape_item("K", "v") + kTwo, 3), 2000, 100, 0, true},
        {"key without end", kAudio + ape_tag(le32(0) + le32(0) + std::string(300, 'k'), 1), 2000, 100, 0, true},
        {"nested tag in a value", kAudio + ape_tag(ape_item("Inner", ape_tag(kTwo, 2)), 1), 2000, 100, 1, false},
        {"footer marked header", kAudio + ape_tag(kTwo, 2).substr(0, 32 + kTwo.size()) +
             ape_tag("", 0).substr(0, 32), 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SpanSource source = source_of(c.file);
        const Apev2Tag tag = read_apev2_tag(source, static_cast<int64_t>(c.file.size()));
        EXPECT_EQ(tag.version, c.version) << c.name;
        EXPECT_EQ(tag.items.size(), c.items) << c.name;
        EXPECT_EQ(tag.damaged, c.damaged) << c.name;
        if (c.version == 0) continue;
        EXPECT_EQ(tag.begin, c.begin) << c.name;
        EXPECT_EQ(tag.end, static_cast<int64_t>(c.file.size())) << c.name;
    }
}

TEST(Apev2Tag, ItemsKindsAndValues) {
    const std::string picture(5000, '\x89');
    const std::string big(Apev2Tag::kMaxValueSize + 10, 'a');
    const std::string file = kAudio +
                             ape_tag(ape_item("ARTIST", std::string("A\0B\xFF", 4), 1) +
                                         ape_item("Cover Art (Front)", picture, 2) +
                                         ape_item("Link", "file:x", 4) + ape_item("Lyrics", big),
                                     4) +
                             id3v1_tag();
    SpanSource source = source_of(file);
    const Apev2Tag tag = find_apev2_tag(source, static_cast<int64_t>(file.size()),
                                        static_cast<int64_t>(file.size()) - 128);
    ASSERT_EQ(tag.items.size(), 4u);
    const Apev2Item* artist = tag.find("artist");
    ASSERT_NE(artist, nullptr);
    EXPECT_TRUE(artist->read_only);
    EXPECT_EQ(artist->values, (std::vector<std::string>{"A", "B\xEF\xBF\xBD"}));
    const Apev2Item* cover = tag.find("COVER ART (FRONT)");
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->kind, Apev2Item::Kind::kBinary);
    EXPECT_TRUE(cover->values.empty());
    const ByteSpan data = apev2_item_data(source, *cover);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data), data.size), picture);
    EXPECT_EQ(tag.find("Link")->kind, Apev2Item::Kind::kExternal);
    EXPECT_EQ(tag.find("Link")->values[0], "file:x");
    EXPECT_TRUE(tag.find("Lyrics")->cut);
    EXPECT_EQ(tag.find("Lyrics")->values[0].size(), Apev2Tag::kMaxValueSize);
    EXPECT_EQ(tag.find("Lyric"), nullptr);
}

}  // namespace
