// Tags peeled off a file's end in the orders taggers leave them.
#include <gtest/gtest.h>

#include <vector>

#include "tag_bytes.h"
#include "tags/trailing_tags.h"

namespace {

using namespace velkor;
using namespace velkor::testing;
using Kind = TrailingTag::Kind;

TEST(TrailingTags, AnyOrderBoundedStack) {
    const std::string ape = ape_tag(ape_item("Title", "x"), 1), v1 = id3v1_tag();
    std::string twenty_v1;
    for (int i = 0; i < 20; ++i) twenty_v1 += v1;
    struct { std::string tags; std::vector<Kind> kinds; } const cases[] = {  // kinds from the end inwards
        {"", {}},
        {ape + v1, {Kind::kId3v1, Kind::kApev2}},
        {v1 + ape, {Kind::kApev2, Kind::kId3v1}},
        {lyrics3v2("LYR00002hi") + ape + v1, {Kind::kId3v1, Kind::kApev2, Kind::kLyrics3v2}},
        {ape + "LYRICSBEGINhiLYRICSEND" + v1, {Kind::kId3v1, Kind::kLyrics3v1, Kind::kApev2}},
        {ape + ape, {Kind::kApev2, Kind::kApev2}},
        {twenty_v1, std::vector<Kind>(TrailingTags::kMaxTags, Kind::kId3v1)},
    };
    for (const auto& c : cases) {
        const std::string file = std::string(300, '\xFF') + c.tags;
        SpanSource source = source_of(file);
        const TrailingTags found = peel_trailing_tags(source, static_cast<int64_t>(file.size()), 250);
        std::vector<Kind> kinds;
        int64_t end = static_cast<int64_t>(file.size());
        for (const TrailingTag& tag : found.tags) {
            kinds.push_back(tag.kind);
            EXPECT_EQ(tag.end, end);
            end = tag.begin;
        }
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(found.audio_end, end);
        EXPECT_EQ(end == 300, c.kinds.size() < TrailingTags::kMaxTags);  // all peeled, or the stack cut
    }
}

}  // namespace
