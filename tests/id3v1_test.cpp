// The tag record's ID3v1 side: the fixed-field trim, reading a 128-byte
// block of version 1.0 and 1.1, the setters an ID3v1 edit uses, the track
// query, and the block made from the record.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "base/decimal_text.h"
#include "notice_recorder.h"
#include "tags/tag_record.h"

namespace {

using velkor::ByteSpan;
using velkor::TagRecord;
using velkor::testing::NoticeRecorder;

using Block = std::array<uint8_t, 128>;

// A block that starts "TAG" and is zero elsewhere.
Block empty_block() {
    Block b{};
    std::memcpy(b.data(), "TAG", 3);
    return b;
}

void put(Block& b, std::size_t offset, const std::string& bytes) {
    std::memcpy(b.data() + offset, bytes.data(), bytes.size());
}

int32_t read(TagRecord& tag, const Block& b) { return tag.read_id3v1(ByteSpan(b.data(), b.size())); }

std::string trimmed(const std::string& field) {
    char dest[64];
    std::memset(dest, 'x', sizeof dest);
    velkor::trim_fixed_field(dest, field.data(), field.size());
    EXPECT_EQ(dest[field.size()], '\0');
    EXPECT_EQ(dest[field.size() + 1], 'x') << "nothing behind the field is touched";
    return std::string(dest, field.size());
}

TEST(TrimFixedField, RemovesOnlyTrailingSpacesAndZeros) {
    EXPECT_EQ(trimmed("Hello" + std::string(25, ' ')), "Hello" + std::string(25, '\0'));
    EXPECT_EQ(trimmed(std::string(30, ' ')), std::string(30, '\0'));
    EXPECT_EQ(trimmed(std::string(30, '\0')), std::string(30, '\0'));
    EXPECT_EQ(trimmed("  lead" + std::string(24, ' ')), "  lead" + std::string(24, '\0'));
    EXPECT_EQ(trimmed(std::string("ab\0cd \0 ", 8)), std::string("ab\0cd\0\0\0", 8));
    EXPECT_EQ(trimmed("tab\t"), "tab\t");
    EXPECT_EQ(trimmed(std::string(30, 'z')), std::string(30, 'z'));
}

TEST(ReadId3v1, NeedsTheExactMarkerAndAWholeBlock) {
    TagRecord tag;
    tag.valid = 1;
    tag.year = 1999;
    Block b = empty_block();
    put(b, 0, "tag");
    EXPECT_EQ(read(tag, b), 0);
    EXPECT_EQ(tag.valid, 0);
    EXPECT_EQ(tag.year, 1999) << "nothing else changes";
    EXPECT_EQ(tag.version, 0.0f);

    Block good = empty_block();
    EXPECT_EQ(tag.read_id3v1(ByteSpan(good.data(), 127)), 0);
    EXPECT_EQ(tag.read_id3v1(ByteSpan()), 0);
    EXPECT_EQ(read(tag, good), 1);
    EXPECT_EQ(tag.valid, 1);
}

TEST(ReadId3v1, Version10FieldsAreTrimmed) {
    Block b = empty_block();
    put(b, 3, "Title" + std::string(25, ' '));
    put(b, 33, "  Artist");
    put(b, 63, std::string("ab\0cd", 5) + std::string(25, ' '));
    put(b, 93, "1987");
    put(b, 97, std::string(30, 'c'));  // byte 125 is not zero: version 1.0
    b[127] = 17;
    TagRecord tag;
    ASSERT_EQ(read(tag, b), 1);
    TagRecord::Text text;
    tag.get_title(text);
    EXPECT_STREQ(text, "Title");
    tag.get_artist(text);
    EXPECT_STREQ(text, "  Artist");
    tag.get_album(text);
    EXPECT_STREQ(text, "ab");
    tag.get_comment(text);
    EXPECT_EQ(std::string(text), std::string(30, 'c'));
    EXPECT_EQ(tag.get_year(), 1987);
    EXPECT_EQ(tag.version, 1.0f);
    EXPECT_EQ(tag.get_track(), -1);
    EXPECT_EQ(tag.genre, 17);
}

TEST(ReadId3v1, Version11HasATrackAndAShorterComment) {
    Block b = empty_block();
    put(b, 97, std::string(28, 'k'));
    b[126] = 7;
    TagRecord tag;
    ASSERT_EQ(read(tag, b), 1);
    EXPECT_EQ(tag.version, 1.1f);
    EXPECT_EQ(tag.get_track(), 7);
    EXPECT_EQ(std::string(tag.comment), std::string(28, 'k'));

    b[126] = 200;
    read(tag, b);
    EXPECT_EQ(tag.get_track(), 200);

    // Both bytes zero: version 1.0, the zeros are trailing fill.
    b[126] = 0;
    read(tag, b);
    EXPECT_EQ(tag.version, 1.0f);
    EXPECT_EQ(tag.get_track(), -1);
    EXPECT_EQ(tag.track, 200) << "a version 1.0 block leaves track as it was";
}

TEST(ReadId3v1, ShortCommentLeavesNothingOfAnEarlierOne) {
    Block b = empty_block();
    put(b, 97, std::string(30, 'a'));
    TagRecord tag;
    read(tag, b);
    put(b, 97, std::string(30, '\0'));
    b[126] = 3;
    read(tag, b);
    EXPECT_EQ(std::string(tag.comment, sizeof tag.comment), std::string(31, '\0'));
}

TEST(ReadId3v1, YearIsTheLeadingNumberOfItsFourBytes) {
    const std::pair<std::string, int32_t> cases[] = {
        {"2003", 2003}, {"    ", 0}, {"abcd", 0}, {"12 4", 12},
        {"-123", -123}, {" 199", 199}, {"+042", 42}, {std::string("19\0\0", 4), 19},
    };
    for (const auto& [field, year] : cases) {
        Block b = empty_block();
        put(b, 93, field);
        put(b, 97, "9999");  // the comment behind must not be read as digits
        TagRecord tag;
        read(tag, b);
        EXPECT_EQ(tag.year, year) << field;
    }
}

TEST(DecimalValue, ClampsAndStopsWhereItShould) {
    using velkor::decimal_value;
    EXPECT_EQ(decimal_value("  \t-17x", 30), -17);
    EXPECT_EQ(decimal_value("7/12", 30), 7);
    EXPECT_EQ(decimal_value("12345", 3), 123);
    EXPECT_EQ(decimal_value("", 30), 0);
    EXPECT_EQ(decimal_value(nullptr, 30), 0);
    EXPECT_EQ(decimal_value("- 5", 30), 0);
    EXPECT_EQ(decimal_value("2147483647", 30), 2147483647);
    EXPECT_EQ(decimal_value("-2147483648", 30), -2147483647 - 1);
    EXPECT_EQ(decimal_value("99999999999999999999999999", 30), 2147483647);
    EXPECT_EQ(decimal_value("-99999999999999999999999999", 30), -2147483647 - 1);
}

TEST(TextSetters, CutAt30AndClearTheRestOfTheField) {
    TagRecord tag;
    tag.set_title(std::string(40, 'L').c_str());
    EXPECT_EQ(std::string(tag.title), std::string(30, 'L'));
    tag.set_title("short");
    EXPECT_EQ(std::string(tag.title, sizeof tag.title), "short" + std::string(26, '\0'));
    tag.set_artist(nullptr);
    EXPECT_STREQ(tag.artist, "");
    tag.set_album("Album");
    tag.set_comment("Comment");
    TagRecord::Text text;
    tag.get_album(text);
    EXPECT_STREQ(text, "Album");
    tag.get_comment(text);
    EXPECT_STREQ(text, "Comment");
}

TEST(TextQueries, StopAt30CharactersInAnUnterminatedField) {
    TagRecord tag;
    std::memset(tag.v2_title, 'u', sizeof tag.v2_title);
    TagRecord::Text text;
    tag.get_v2_title(text);
    EXPECT_EQ(std::string(text), std::string(30, 'u'));
}

TEST(TagRecord, EmptyRecordAnswers) {
    TagRecord tag;
    EXPECT_EQ(tag.get_track(), -1);
    EXPECT_EQ(tag.get_year(), 0);
    EXPECT_EQ(tag.genre_index(), -1000);
    char name[TagRecord::kGenreNameSize];
    tag.genre_name(name);
    EXPECT_STREQ(name, "not supported");
    TagRecord::Text text;
    for (auto query : {&TagRecord::get_title, &TagRecord::get_artist, &TagRecord::get_album,
                       &TagRecord::get_comment, &TagRecord::get_v2_title,
                       &TagRecord::get_v2_artist, &TagRecord::get_v2_album,
                       &TagRecord::get_v2_comment}) {
        std::memset(text, 'x', sizeof text);
        (tag.*query)(text);
        EXPECT_STREQ(text, "");
    }
}

TEST(TagRecord, Id3v2TrackShowsUntilAVersion10TagHidesIt) {
    TagRecord tag;
    tag.track = 5;  // as the ID3v2 reader leaves it
    EXPECT_EQ(tag.get_track(), 5);
    read(tag, empty_block());
    EXPECT_EQ(tag.track, 5);
    EXPECT_EQ(tag.get_track(), -1);
}

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

// The block to_id3v1 fills.
using Written = uint8_t[TagRecord::kId3v1Size];

std::string field(const Written& block, std::size_t offset, std::size_t length) {
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
    Written block;
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
        Written block;
        tag.to_id3v1(block);
        EXPECT_EQ(field(block, 93, 4), text) << year;
    }
}

TEST(ToId3v1, Version11TrackTakesTheCommentsLastTwoBytes) {
    TagRecord tag;
    tag.set_comment(std::string(30, 'c').c_str());
    Written block;
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
