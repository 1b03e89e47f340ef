// The values the edit setters take: every text frame and field is checked
// the one way, whether set by field or by frame id, and "" always clears.
#include <gtest/gtest.h>

#include <string>

#include "test_files.h"
#include "velkor.h"

namespace {

struct Value {
    const char* where;  // a frame id, or "field" (then `field` says which)
    int32_t field;
    const char* value;
    bool taken;
};

constexpr Value kValues[] = {
    // Dates: ISO 8601 with a real month, day and time.
    {"TDRC", 0, "2024", true},
    {"TDRC", 0, "2024-02-29", true},
    {"TDRC", 0, "2023-02-29", false},
    {"TDRC", 0, "2024-13-45", false},
    {"TDRC", 0, "2024-00", false},
    {"TDRC", 0, "2024-05-01T12:30:59", true},
    {"TDRC", 0, "2024-05-01T24:00", false},
    {"TDRC", 0, "2024-05-01 12:30", false},
    {"TDOR", 0, "May 2004", false},
    {"field", VELKOR_ID3V2_DATE, "2024-13-45", false},
    {"field", VELKOR_ID3V2_YEAR, "2010-10-10", true},
    {"TYER", 0, "2010", true},
    {"TYER", 0, "2010-10-10", false},
    {"TDAT", 0, "3102", false},
    {"TDAT", 0, "2902", true},
    {"TIME", 0, "2360", false},
    // Track and disc: from 1, a total from 1.
    {"field", VELKOR_ID3V2_TRACK, "abc", false},
    {"field", VELKOR_ID3V2_TRACK, "0", false},
    {"field", VELKOR_ID3V2_TRACK, "3/12", true},
    {"field", VELKOR_ID3V2_DISC, "1/0", false},
    {"TRCK", 0, "7", true},
    {"TPOS", 0, "-1", false},
    // Genres: a name, or a number the table has.
    {"field", VELKOR_ID3V2_GENRE, "999", false},
    {"field", VELKOR_ID3V2_GENRE, "191", true},
    {"field", VELKOR_ID3V2_GENRE, "Synthwave", true},
    {"TCON", 0, "(192)", false},
    {"TCON", 0, "(17)Rock & Roll", true},
    {"TCON", 0, "RX", true},
    // Numbers.
    {"TLEN", 0, "abc", false},
    {"TLEN", 0, "215000", true},
    {"field", VELKOR_EDIT_BPM, "120.5", false},
    {"field", VELKOR_EDIT_BPM, "120", true},
    {"field", VELKOR_EDIT_COMPILATION, "yes", false},
    {"field", VELKOR_EDIT_COMPILATION, "1", true},
    // Links: printable ASCII without spaces.
    {"WOAR", 0, "https://example.org/a%20b", true},
    {"WOAR", 0, "https://example.org/a b", false},
    {"WCOM", 0, "https://例え.jp", false},
    // A picture's MIME type (the data is a PNG's).
    {"APIC", 0, "image/png", true},
    {"APIC", 0, "-->", true},
    {"APIC", 0, "text/plain", false},
    {"APIC", 0, "image/", false},
    // Frames without rules take any text.
    {"TIT2", 0, "2024-13-45", true},
    {"TKEY", 0, "Am", true},
};

TEST(ValueCheck, EverySetterTakesOnlySoundValues) {
    velkor::testing::TempDir dir;
    const std::string path = dir.write("a.mp3", velkor::testing::frame_file(3 * 417));
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
    for (const Value& v : kValues) {
        const std::string where = v.where;
        const bool field = where == "field";
        static const char kPng[] = "\x89PNG\r\n\x1A\n";
        const int32_t status = field               ? velkor_edit_set_field(edit, v.field, v.value)
                               : where == "APIC"   ? velkor_edit_add_picture(edit, 3, v.value, "", kPng, 8)
                               : where[0] == 'W'   ? velkor_edit_set_url(edit, v.where, nullptr, v.value)
                                                   : velkor_edit_set_text(edit, v.where, &v.value, 1);
        EXPECT_EQ(status, v.taken ? VELKOR_OK : VELKOR_ERROR_ARGUMENT) << v.where << " " << v.field << " " << v.value;
        // The words say why exactly when the setter refuses.
        if (!field) {
            EXPECT_EQ(velkor_value_problem(v.where, v.value) == nullptr, v.taken) << v.where << " " << v.value;
        }
        if (where == "APIC" || where[0] == 'W') continue;
        // "" clears whatever was refused.
        const char* empty = "";
        EXPECT_EQ(field ? velkor_edit_set_field(edit, v.field, "") : velkor_edit_set_text(edit, v.where, &empty, 1),
                  VELKOR_OK)
            << v.where;
    }
    velkor_edit_close(edit);
    // Without a MIME type the picture's bytes must show one.
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
    EXPECT_EQ(velkor_edit_add_picture(edit, 3, nullptr, nullptr, "not an image", 12), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_edit_add_picture(edit, 256, "image/png", nullptr, "\x89PNG\r\n\x1A\n", 8), VELKOR_ERROR_ARGUMENT);
    velkor_edit_close(edit);
}

TEST(ValueCheck, Id3v1NumbersAreOnesTheTagHolds) {
    velkor::testing::TempDir dir;
    const std::string path = dir.write("a.mp3", velkor::testing::frame_file(3 * 417));
    const struct {
        int32_t year, track, genre;
        bool taken;
    } cases[] = {{0, 0, 255, true}, {2024, 255, 191, true}, {10000, 1, 1, false},
                 {2024, 256, 1, false}, {2024, 1, 200, false}, {2024, -1, 1, false}};
    for (const auto& c : cases) {
        velkor_id3v1_fields tag{sizeof tag, VELKOR_FIELD_YEAR | VELKOR_FIELD_TRACK | VELKOR_FIELD_GENRE,
                                "", "", "", "", c.year, c.track, c.genre};
        EXPECT_EQ(velkor_write_id3v1(path.c_str(), &tag), c.taken ? VELKOR_OK : VELKOR_ERROR_ARGUMENT)
            << c.year << " " << c.track << " " << c.genre;
    }
}

}  // namespace
