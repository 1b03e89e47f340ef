// The ID3v2 tags of tests/data, made by other taggers, read as the other
// readers read them (tests/data/facts.json): velkor's own texts and the
// exports' record, file by file.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "data_facts.h"
#include "json_value.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::testing::JsonReader;
using velkor::testing::JsonValue;
using namespace std::string_literals;

using velkor::testing::data_path;
using velkor::testing::facts;

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

std::vector<std::string> frame_values(velkor_file* file, int32_t index, int32_t field, int32_t count) {
    std::vector<std::string> values;
    for (int32_t i = 0; i < count; ++i) values.push_back(velkor_frame_text(file, index, field, i));
    return values;
}

std::vector<std::string> texts(const JsonValue& list) {
    std::vector<std::string> out;
    for (const JsonValue& item : list.items) out.push_back(item.text);
    return out;
}

// Every frame in the order of the tag, each with its values, as the other
// readers list them.
TEST_P(DataFiles, FramesAsOtherReadersListThem) {
    const FileCase& c = GetParam();
    const JsonValue& id3v2 = facts()[c.name]["id3v2"];
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(data_path(c.name).c_str(), 0, &file), VELKOR_OK);
    std::vector<std::string> expected_ids, ids;
    for (const JsonValue& raw : id3v2["raw_frames"].items) {
        if (raw.has("id") && raw["size"].number > 0) expected_ids.push_back(raw["id"].text);
    }
    ASSERT_EQ(velkor_frame_count(file), static_cast<int32_t>(expected_ids.size()));
    std::map<std::string, std::size_t> seen;  // frames of each id so far
    for (int32_t i = 0; i < velkor_frame_count(file); ++i) {
        velkor_frame_info info = {};
        info.size = sizeof info;
        ASSERT_EQ(velkor_frame(file, i, &info), VELKOR_OK);
        ids.push_back(info.id);
        auto text = [&](int32_t field, int32_t n = 0) { return std::string(velkor_frame_text(file, i, field, n)); };
        // The facts list frames of one id in file order, but those with a
        // description by their description.
        const std::vector<JsonValue>& same_id = id3v2["frames"][info.id_v24].items;
        const JsonValue* want = &same_id.at(seen[info.id_v24]++);
        for (const JsonValue& candidate : same_id) {
            if (candidate.has("desc") && candidate["desc"].text == text(VELKOR_FRAME_DESCRIPTION)) want = &candidate;
        }
        const JsonValue& want_frame = *want;
        const std::string what = std::string(c.name) + " " + info.id;
        switch (info.kind) {
            case VELKOR_FRAME_TEXT:
                EXPECT_EQ(frame_values(file, i, VELKOR_FRAME_VALUE, info.value_count), texts(want_frame)) << what;
                break;
            case VELKOR_FRAME_USER_TEXT:
                EXPECT_EQ(text(VELKOR_FRAME_DESCRIPTION), want_frame["desc"].text) << what;
                EXPECT_EQ(frame_values(file, i, VELKOR_FRAME_VALUE, info.value_count), texts(want_frame["text"])) << what;
                break;
            case VELKOR_FRAME_COMMENT:
            case VELKOR_FRAME_LYRICS: {
                std::string language = want_frame["lang"].text;
                language.erase(language.find_last_not_of('\0') + 1);  // unset: three zero bytes
                EXPECT_EQ(text(VELKOR_FRAME_LANGUAGE), language) << what;
                EXPECT_EQ(text(VELKOR_FRAME_DESCRIPTION), want_frame["desc"].text) << what;
                const std::vector<std::string> values = frame_values(file, i, VELKOR_FRAME_VALUE, info.value_count);
                if (info.kind == VELKOR_FRAME_COMMENT) {
                    EXPECT_EQ(values, texts(want_frame["text"])) << what;
                } else {
                    EXPECT_EQ(values, std::vector<std::string>{want_frame["text"].text}) << what;
                }
                break;
            }
            case VELKOR_FRAME_POPULARIMETER:
                EXPECT_EQ(text(VELKOR_FRAME_OWNER), want_frame["email"].text) << what;
                EXPECT_EQ(info.rating, want_frame["rating"].number) << what;
                EXPECT_EQ(info.play_count, want_frame["count"].number) << what;
                break;
            case VELKOR_FRAME_PICTURE:
                EXPECT_EQ(text(VELKOR_FRAME_VALUE), want_frame["mime"].text) << what;
                EXPECT_EQ(text(VELKOR_FRAME_DESCRIPTION), want_frame["desc"].text) << what;
                break;
            case VELKOR_FRAME_CHAPTER:
                EXPECT_EQ(text(VELKOR_FRAME_ELEMENT_ID), want_frame["element_id"].text) << what;
                EXPECT_EQ(info.start_ms, want_frame["start_ms"].number) << what;
                EXPECT_EQ(info.end_ms, want_frame["end_ms"].number) << what;
                EXPECT_EQ(info.start_offset, want_frame["start_offset"].number) << what;
                EXPECT_EQ(text(VELKOR_FRAME_TITLE), want_frame["sub_frames"]["TIT2"].items[0].text) << what;
                break;
            case VELKOR_FRAME_TOC:
                EXPECT_EQ(text(VELKOR_FRAME_ELEMENT_ID), want_frame["element_id"].text) << what;
                EXPECT_EQ(info.toc_flags, want_frame["flags"].number) << what;
                EXPECT_EQ(frame_values(file, i, VELKOR_FRAME_CHILD, info.child_count), texts(want_frame["child_element_ids"]))
                    << what;
                EXPECT_EQ(text(VELKOR_FRAME_TITLE), want_frame["sub_frames"]["TIT2"].items[0].text) << what;
                break;
            default:
                ADD_FAILURE() << what << ": kind " << info.kind;
        }
    }
    EXPECT_EQ(ids, expected_ids);
    velkor_close(file);
}

TEST(DataFiles, CompressedFrameReadInflated) {
    for (const char* name : {"07a_id3v23_compressed.mp3", "07b_id3v24_compressed_dli.mp3"}) {
        velkor_file* file = nullptr;
        ASSERT_EQ(velkor_open(data_path(name).c_str(), 0, &file), VELKOR_OK);
        velkor_frame_info info = {};
        info.size = sizeof info;
        ASSERT_EQ(velkor_frame(file, 1, &info), VELKOR_OK);
        EXPECT_STREQ(info.id, "COMM");
        EXPECT_EQ(info.compressed, 1);
        ASSERT_EQ(info.body_size, 604) << name;
        std::string body(604, '\0');
        EXPECT_EQ(velkor_read_frame(file, 1, &body[0], 603), VELKOR_ERROR_ARGUMENT);
        EXPECT_EQ(velkor_read_frame(file, 1, &body[0], 604), VELKOR_OK);
        EXPECT_EQ(body.substr(1, 4), "eng"s + '\0') << name;
        EXPECT_EQ(velkor_read_frame(file, 3, &body[0], 604), VELKOR_ERROR_ARGUMENT);
        velkor_close(file);
    }
}

INSTANTIATE_TEST_SUITE_P(Id3v2, DataFiles, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                             return "file" + std::string(info.param.name).substr(0, 3);
                         });

}  // namespace
