// APE tags built byte by byte: where they stand, their items, and the
// counts and sizes a hostile file gets wrong.
#include <gtest/gtest.h>

#include "tag_bytes.h"
#include "tags/apev2_tag.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

const std::string kAudio(100, '\xFF');
const std::string kTwo = ape_item("Title", "Song") + ape_item("Artist", "One");

TEST(Apev2Tag, PlacementAndItemBounds) {
    struct { const char* name; std::string tag; int32_t version; std::size_t items; bool damaged; } const cases[] = {
        {"with header", ape_tag(kTwo, 2), 2000, 2, false},
        {"footer only", ape_tag(kTwo, 2, false), 2000, 2, false},
        {"count 2^32-1", ape_tag(kTwo, 0xFFFFFFFF), 2000, 2, true},
        {"count below items", ape_tag(kTwo, 1), 2000, 1, false},
        {"size past the start", ape_tag(kTwo, 2, false, 0xFFFFFFFF), 0, 0, false},
        {"size below a footer", ape_tag("", 0, false, 31), 0, 0, false},
        // Item sizes that do not fit the tag's size: bytes that only look
        // like a tag, not a tag.
        {"value past the tag", ape_tag(le32(1000) + le32(0) + "Key" + '\0', 1), 0, 0, false},
        {"key without end", ape_tag(le32(0) + le32(0) + std::string(300, 'k'), 1), 0, 0, false},
        {"item header cut", ape_tag(kTwo + "abc", 3), 0, 0, false},
        // Header and footer disagree.
        {"header of another size", ape_tag(kTwo, 2).substr(0, 12) + le32(99) + ape_tag(kTwo, 2).substr(16), 0, 0,
         false},
        {"header of another count", ape_tag(kTwo, 2).substr(0, 16) + le32(1) + ape_tag(kTwo, 2).substr(20), 0, 0,
         false},
        {"one-letter key", ape_tag(ape_item("K", "v") + kTwo, 3), 2000, 0, true},
        {"nested tag in a value", ape_tag(ape_item("Inner", ape_tag(kTwo, 2)), 1), 2000, 1, false},
        {"footer marked header", kTwo + ape_tag("", 0).substr(0, 32), 0, 0, false},
    };
    for (const auto& c : cases) {
        const std::string file = kAudio + c.tag;
        SpanSource source = source_of(file);
        const Apev2Tag tag = read_apev2_tag(source, static_cast<int64_t>(file.size()));
        EXPECT_EQ(tag.version, c.version) << c.name;
        EXPECT_EQ(tag.items.size(), c.items) << c.name;
        EXPECT_EQ(tag.damaged, c.damaged) << c.name;
        EXPECT_EQ(tag.begin, c.version ? 100 : 0) << c.name;
    }
}

TEST(Apev2Tag, ItemsKindsAndValues) {
    const std::string picture(5000, '\x89');
    const std::string items = ape_item("ARTIST", std::string("A\0B\xFF", 4), 1) +
                              ape_item("Cover Art (Front)", picture, 2) + ape_item("Link", "file:x", 4) +
                              ape_item("Lyrics", std::string(Apev2Tag::kMaxValueSize + 10, 'a'));
    const std::string file = kAudio + ape_tag(items, 4) + id3v1_tag();
    SpanSource source = source_of(file);
    const auto size = static_cast<int64_t>(file.size());
    const Apev2Tag tag = read_apev2_tag(source, size - 128);
    ASSERT_EQ(tag.items.size(), 4u);
    EXPECT_TRUE(tag.find("artist")->read_only);
    EXPECT_EQ(tag.find("artist")->values, (std::vector<std::string>{"A", "B\xEF\xBF\xBD"}));
    const Apev2Item* cover = tag.find("COVER ART (FRONT)");
    EXPECT_EQ(cover->kind, Apev2Item::Kind::kBinary);
    const ByteSpan data = source.bytes(cover->value_offset, cover->value_size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data), data.size), picture);
    EXPECT_EQ(tag.find("Link")->kind, Apev2Item::Kind::kExternal);
    EXPECT_TRUE(tag.find("Lyrics")->cut);
    EXPECT_EQ(tag.find("Lyrics")->values[0].size(), Apev2Tag::kMaxValueSize);
    EXPECT_EQ(tag.find("Lyric"), nullptr);
}

}  // namespace
