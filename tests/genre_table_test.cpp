// The genre names both ways, and the record's genre queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tags/genre_table.h"
#include "tags/tag_record.h"

namespace {

using velkor::GenreTable;
using velkor::TagRecord;

// A few names of the published list (0-79 from the original, 80-125 its
// first extension, with the original's spelling "Psychadelic"); other
// readers name 12, 17 and 26 the same in tests/data/peer_reports.txt.
TEST(GenreTable, NamesAtTheirNumbers) {
    EXPECT_STREQ(GenreTable::name(0), "Blues");
    EXPECT_STREQ(GenreTable::name(12), "Other");
    EXPECT_STREQ(GenreTable::name(17), "Rock");
    EXPECT_STREQ(GenreTable::name(26), "Ambient");
    EXPECT_STREQ(GenreTable::name(67), "Psychadelic");
    EXPECT_STREQ(GenreTable::name(79), "Hard Rock");
    EXPECT_STREQ(GenreTable::name(93), "Psychedelic Rock");
    EXPECT_STREQ(GenreTable::name(125), "Dance Hall");
    EXPECT_EQ(GenreTable::name(126), nullptr);
    EXPECT_EQ(GenreTable::name(-1), nullptr);
}

TEST(GenreTable, EveryNameFindsItsOwnNumber) {
    std::size_t longest = 0;
    for (int32_t i = 0; i < GenreTable::kCount; ++i) {
        const char* name = GenreTable::name(i);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(GenreTable::find(name), i) << name;
        longest = std::max(longest, std::strlen(name));
    }
    EXPECT_EQ(longest, TagRecord::kGenreNameSize - 1);
}

TEST(GenreTable, FindIgnoresTheCaseOfLettersOnly) {
    EXPECT_EQ(GenreTable::find("ROCK"), 17);
    EXPECT_EQ(GenreTable::find("rock"), 17);
    EXPECT_EQ(GenreTable::find("r&b"), 14);
    EXPECT_EQ(GenreTable::find("Rock "), -1);
    EXPECT_EQ(GenreTable::find("Roc"), -1);
    EXPECT_EQ(GenreTable::find(""), -1);
    EXPECT_EQ(GenreTable::find(nullptr), -1);
}

// Other taggers' spellings of the same genres have their numbers too, and
// a number is written as a name those taggers map back.
TEST(GenreTable, OtherTaggersSpellingsFindTheirNumbers) {
    const struct {
        const char* name;
        int32_t number;
    } kCases[] = {{"Psychedelic", 67}, {"Bebop", 85}, {"Hardcore", 129}, {"Alt. Rock", 40}, {"alternative rock", 40},
                  {"Jazz-Funk", 29}, {"Dancehall", 125}, {"Avant-garde", 90}, {"Synth-Pop", 147}};
    for (const auto& c : kCases) EXPECT_EQ(GenreTable::find_extended(c.name), c.number) << c.name;
    EXPECT_EQ(GenreTable::find("Hardcore"), -1);  // 129 is beyond ID3v1's table
    EXPECT_STREQ(GenreTable::written_name(67), "Psychedelic");
    EXPECT_STREQ(GenreTable::written_name(85), "Bebop");
    EXPECT_STREQ(GenreTable::written_name(17), "Rock");
    EXPECT_EQ(GenreTable::written_name(192), nullptr);
    for (int32_t i = 0; i < GenreTable::kExtendedCount; ++i) {
        EXPECT_EQ(GenreTable::find_extended(GenreTable::written_name(i)), i) << i;
    }
}

TEST(GenreQueries, NumberToNameAndIndex) {
    TagRecord tag;
    char name[TagRecord::kGenreNameSize];
    tag.genre = 125;
    tag.genre_name(name);
    EXPECT_STREQ(name, "Dance Hall");
    EXPECT_EQ(tag.genre_index(), 125);
    tag.genre = 51;
    tag.genre_name(name);
    EXPECT_STREQ(name, "Techno-Industrial");
    for (uint8_t unsupported : {126, 200, 255}) {
        tag.genre = unsupported;
        tag.genre_name(name);
        EXPECT_STREQ(name, "not supported");
        EXPECT_EQ(tag.genre_index(), -1000);
    }
}

int32_t v2_index(const char* text) {
    TagRecord tag;
    std::strncpy(tag.v2_genre, text, sizeof tag.v2_genre - 1);
    return tag.v2_genre_index();
}

TEST(GenreQueries, Id3v2GenreByNameOrNumericReference) {
    EXPECT_EQ(v2_index("ROCK"), 17);
    EXPECT_EQ(v2_index("rock"), 17);
    EXPECT_EQ(v2_index(""), -1000);
    EXPECT_EQ(v2_index("Rock "), -1000);
    EXPECT_EQ(v2_index("(17)"), 17);
    EXPECT_EQ(v2_index("(17)Rock"), 17);
    EXPECT_EQ(v2_index("(0)"), 0);
    EXPECT_EQ(v2_index("17"), 17);
    EXPECT_EQ(v2_index("125"), 125);
    EXPECT_EQ(v2_index("(125)"), 125);
    for (const char* other : {"(126)", "126", "(255)", "(17", "()", "(RX)", "(CR)", " 17", "17 ",
                              "-1", "(-1)", "17a", "99999999999999999999"}) {
        EXPECT_EQ(v2_index(other), -1000) << other;
    }
}

TEST(GenreQueries, UnterminatedId3v2GenreStaysInsideTheField) {
    TagRecord tag;
    std::memset(tag.v2_genre, '1', sizeof tag.v2_genre);
    EXPECT_EQ(tag.v2_genre_index(), -1000);
}

}  // namespace
