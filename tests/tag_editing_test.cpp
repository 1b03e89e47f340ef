// The setters an ID3v1 edit uses and the serialiser that makes the 128-byte ID3v1 block from the record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "notice_recorder.h"
#include "tags/tag_record.h"

namespace {

using velkor::ByteSpan;
using velkor::TagRecord;
using velkor::testing::NoticeRecorder;

TEST(SetTrack, MinusOneIsVersion10AndByteValuesAreVersion11) {
    NoticeRecorder recorder;
    TagRecord tag;
    tag.set_track(0);
    EXPECT_EQ(tag.version, 1.1f);
    EXPECT_EQ(tag.get_track(), 0);
    tag.set_track(255);
    EXPECT_EQ(tag.get_track(), 255);
    for (int32_t ignored : {256, -2, 100000}) {
        tag.set_track(ignored);
        EXPECT_EQ(tag.track, 255);
        EXPECT_EQ(tag.version, 1.1f);
    }
    tag.set_track(-1);
    EXPECT_EQ(tag.version, 1.0f);
    EXPECT_EQ(tag.track, -1);
    EXPECT_TRUE(recorder.notices().empty());
}

TEST(SetGenre, StoresTheLowEightBits) {
    TagRecord tag;
    tag.set_genre(17);
    EXPECT_EQ(tag.genre, 17);
    tag.set_genre(256 + 44);
    EXPECT_EQ(tag.genre, 44);
    tag.set_genre(-1);
    EXPECT_EQ(tag.genre, 255);
}

using Block = uint8_t[TagRecord::kId3v1Size];

std::string field(const Block& block, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(block) + offset, length);
}

TEST(ToId3v1, LaysOutTheFields) {
    TagRecord tag;
    tag.set_title("Title   ");
    tag.set_artist(std::string(30, 'A').c_str());
    tag.set_album("Album");
    tag.set_comment("Comment");
    tag.year = 1994;
    tag.set_track(-1);
    tag.genre = 17;
    Block block;
    std::memset(block, 0xEE, sizeof block);
    ASSERT_EQ(tag.to_id3v1(block), 1);
    EXPECT_EQ(field(block, 0, 3), "TAG");
    EXPECT_EQ(field(block, 3, 30), "Title" + std::string(25, '\0'));
    EXPECT_EQ(field(block, 33, 30), std::string(30, 'A')) << "no zero behind a full field";
    EXPECT_EQ(field(block, 63, 30), "Album" + std::string(25, '\0'));
    EXPECT_EQ(field(block, 93, 4), "1994");
    EXPECT_EQ(field(block, 97, 30), "Comment" + std::string(23, '\0'));
    EXPECT_EQ(block[127], 17);
}

TEST(ToId3v1, YearTextIsCutToFourCharacters) {
    using namespace std::string_literals;
    const std::pair<int32_t, std::string> cases[] = {
        {12345, "1234"}, {-5, "-5\0\0"s}, {0, "0\0\0\0"s}, {-2147483647 - 1, "-214"}, {999, "999\0"s}};
    for (const auto& [year, text] : cases) {
        TagRecord tag;
        tag.year = year;
        Block block;
        tag.to_id3v1(block);
        EXPECT_EQ(field(block, 93, 4), text) << year;
    }
}

TEST(ToId3v1, Version11TrackTakesTheCommentsLastTwoBytes) {
    TagRecord tag;
    tag.set_comment(std::string(30, 'c').c_str());
    Block block;
    tag.set_track(-1);
    tag.to_id3v1(block);
    EXPECT_EQ(field(block, 97, 30), std::string(30, 'c'));

    tag.set_track(9);
    tag.to_id3v1(block);
    EXPECT_EQ(field(block, 97, 28), std::string(28, 'c'));
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 9);

    // Track 0 writes two zeros, so it reads back as version 1.0.
    tag.set_track(0);
    tag.to_id3v1(block);
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 0);
    TagRecord back;
    back.read_id3v1(ByteSpan(block, sizeof block));
    EXPECT_EQ(back.get_track(), -1);
}

}  // namespace
