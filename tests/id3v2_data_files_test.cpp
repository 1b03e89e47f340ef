// The ID3v2 tags of tests/data, made by other taggers, read as the other
// readers read them (tests/data/facts.json): velkor's own texts and the
// exports' record, file by file.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "json_value.h"
#include "velkor.h"

namespace {

using velkor::testing::JsonReader;
using velkor::testing::JsonValue;

std::string data_path(const std::string& name) { return VELKOR_SOURCE_DIR "/tests/data/" + name; }

const JsonValue& facts() {
    static const JsonValue all = [] {
        std::ifstream in(data_path("facts.json"), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return JsonReader::parse(text.str()).value();
    }();
    return all;
}

// The frames the other readers list for the file: id -> one entry a frame.
const JsonValue& frames_of(const std::string& name) { return facts()[name]["id3v2"]["frames"]; }

// The values of the first frame with the id, joined as velkor_text joins them.
std::string first_text(const JsonValue& frames, const std::string& id) {
    if (!frames.has(id)) return "";
    std::string joined;
    for (const JsonValue& value : frames[id].items[0].items) joined += (joined.empty() ? "" : "; ") + value.text;
    return joined;
}

// The first value of the first frame with the id: what the record keeps.
std::string first_value(const JsonValue& frames, const std::string& id) {
    return frames.has(id) ? frames[id].items[0].items[0].text : "";
}

// The comment without a description, as velkor_text prefers it, else the
// last one.
std::string user_comment(const JsonValue& frames) {
    if (!frames.has("COMM")) return "";
    for (const JsonValue& comment : frames["COMM"].items) {
        if (comment["desc"].text.empty()) return comment["text"].items[0].text;
    }
    return frames["COMM"].items.back()["text"].items[0].text;
}

struct FileCase {
    const char* name;
    bool record_from_id3v2;  // no ID3v1 tag: the record shows the ID3v2 texts
};

const FileCase kFiles[] = {
    {"01_lame_vbr_mid3v2.mp3", true},      // two artists in one frame, three comments
    {"02_lame_cbr_eyed3.mp3", false},      // cover, lyrics, POPM
    {"03_ffmpeg_cbr_id3v2tool.mp3", false},
    {"04_ffmpeg_default_tag.mp3", true},
    {"05_chapters.mp3", true},             // TIT2 inside CHAP frames is not the title
    {"07a_id3v23_compressed.mp3", true},   // zlib comment (2.3)
    {"07b_id3v24_compressed_dli.mp3", true},  // zlib comment with data length (2.4)
    {"12_id3v22.mp3", true},
    {"13_id3v24_ext_flag_no_ext_header.mp3", true},
    {"14_id3v24_zero_size_first_frame.mp3", true},
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

class DataFiles : public ::testing::TestWithParam<FileCase> {};

TEST_P(DataFiles, TextsAsOtherReadersShowThem) {
    const FileCase& c = GetParam();
    const JsonValue& frames = frames_of(c.name);
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(data_path(c.name).c_str(), 0, &file), VELKOR_OK);
    EXPECT_EQ(velkor_text(file, VELKOR_ID3V2_TITLE), first_text(frames, "TIT2"));
    EXPECT_EQ(velkor_text(file, VELKOR_ID3V2_ARTIST), first_text(frames, "TPE1"));
    EXPECT_EQ(velkor_text(file, VELKOR_ID3V2_ALBUM), first_text(frames, "TALB"));
    EXPECT_EQ(velkor_text(file, VELKOR_ID3V2_COMMENT), user_comment(frames));
    velkor_close(file);

    // The record: 30 Latin-1 characters of the same texts (all ASCII here).
    velkor_info_record record = {};
    VkGetSonvexStruct(data_path(c.name).c_str(), &record);
    ASSERT_STREQ(record.status, "Success");
    if (!c.record_from_id3v2) return;
    EXPECT_EQ(record.title, first_value(frames, "TIT2").substr(0, 30));
    EXPECT_EQ(record.artist, first_value(frames, "TPE1").substr(0, 30));
    EXPECT_EQ(record.album, first_value(frames, "TALB").substr(0, 30));
    EXPECT_EQ(record.comment, user_comment(frames).substr(0, 30));
}

INSTANTIATE_TEST_SUITE_P(Id3v2, DataFiles, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                             return "file" + std::string(info.param.name).substr(0, 3);
                         });

}  // namespace
