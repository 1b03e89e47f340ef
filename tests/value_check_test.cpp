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
        const bool field = std::string(v.where) == "field";
        const int32_t status =
            field ? velkor_edit_set_field(edit, v.field, v.value) : velkor_edit_set_text(edit, v.where, &v.value, 1);
        EXPECT_EQ(status, v.taken ? VELKOR_OK : VELKOR_ERROR_ARGUMENT) << v.where << " " << v.field << " " << v.value;
        // "" clears whatever was refused.
        const char* empty = "";
        EXPECT_EQ(field ? velkor_edit_set_field(edit, v.field, "") : velkor_edit_set_text(edit, v.where, &empty, 1),
                  VELKOR_OK)
            << v.where;
    }
    velkor_edit_close(edit);
}

}  // namespace
