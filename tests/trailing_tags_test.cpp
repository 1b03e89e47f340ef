// Tags peeled off a file's end in the orders taggers leave them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tag_bytes.h"
#include "tags/trailing_tags.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

using Kind = TrailingTag::Kind;

TEST(TrailingTags, AnyOrderAnyStack) {
    const std::string audio(300, '\xFF');
    const std::string ape = ape_tag(ape_item("Title", "x"), 1);
    const std::string lyrics = lyrics3v2("LYR00002hi");
    struct Case {
        const char* name;
        std::string tags;
        std::vector<Kind> kinds;  // from the end inwards
    } const cases[] = {
        {"none", "", {}},
        {"ID3v1", id3v1_tag(), {Kind::kId3v1}},
        {"APE, ID3v1", ape + id3v1_tag(), {Kind::kId3v1, Kind::kApev2}},
        {"ID3v1, APE", id3v1_tag() + ape, {Kind::kApev2, Kind::kId3v1}},
        {"Lyrics3v2, APE, ID3v1", lyrics + ape + id3v1_tag(), {Kind::kId3v1, Kind::kApev2, Kind::kLyrics3v2}},
        {"APE, Lyrics3v1, ID3v1", ape + "LYRICSBEGINhiLYRICSEND" + id3v1_tag(),
         {Kind::kId3v1, Kind::kLyrics3v1, Kind::kApev2}},
        {"APE twice", ape + ape, {Kind::kApev2, Kind::kApev2}},
    };
    for (const Case& c : cases) {
        const std::string file = audio + c.tags;
        SpanSource source = source_of(file);
        const TrailingTags found = peel_trailing_tags(source, static_cast<int64_t>(file.size()));
        EXPECT_EQ(found.audio_end, 300) << c.name;
        ASSERT_EQ(found.tags.size(), c.kinds.size()) << c.name;
        int64_t end = static_cast<int64_t>(file.size());
        for (std::size_t i = 0; i < c.kinds.size(); ++i) {
            EXPECT_EQ(found.tags[i].kind, c.kinds[i]) << c.name << " " << i;
            EXPECT_EQ(found.tags[i].end, end) << c.name << " " << i;
            end = found.tags[i].begin;
        }
    }
}

TEST(TrailingTags, StackAndFloorBoundThePeeling) {
    std::string file;
    for (int i = 0; i < 20; ++i) file += id3v1_tag();
    SpanSource source = source_of(file);
    const auto size = static_cast<int64_t>(file.size());
    EXPECT_EQ(peel_trailing_tags(source, size).tags.size(), TrailingTags::kMaxTags);
    const TrailingTags above = peel_trailing_tags(source, size, size - 200);
    EXPECT_EQ(above.tags.size(), 1u);
    EXPECT_EQ(above.audio_end, size - 128);
}

}  // namespace
