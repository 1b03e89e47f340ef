// The merged view by keys: a key set on an edit lands in its frame of 2.3
// or 2.4 and reads back through the key; a key the ID3v2 tag lacks comes
// from the APEv2 tag, else the ID3v1 tag.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tag_bytes.h"
#include "test_files.h"
#include "velkor.h"

namespace {

using velkor::testing::Bytes;

std::vector<std::string> values_of(const velkor_file* file, const char* key) {
    std::vector<std::string> out;
    const int32_t count = velkor_tag_count(file, key);
    for (int32_t i = 0; i < count; ++i) out.emplace_back(velkor_tag_value(file, key, i));
    return out;
}

bool has_frame(const velkor_file* file, const std::string& id) {
    for (int32_t i = 0; i < velkor_frame_count(file); ++i) {
        velkor_frame_info info = {};
        info.size = sizeof info;
        if (velkor_frame(file, i, &info) == VELKOR_OK && id == info.id) return true;
    }
    return false;
}

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A file of audio behind an ID3v2 tag of `version` holding one TIT2.
Bytes tagged_file(uint8_t version) {
    const Bytes frame = velkor::testing::id3v2_text_frame("TIT2", "old");
    const Bytes header = velkor::testing::id3v2_header(static_cast<uint32_t>(frame.size()), version);
    const Bytes audio = velkor::testing::frame_file(4000);
    return velkor::testing::concat({header, frame, audio});
}

struct KeyCase {
    const char* key;
    std::vector<std::string> values;
    const char* frame23;  // the frame the tag then holds
    const char* frame24;
    std::vector<std::string> read23;  // the values read back through the key
    std::vector<std::string> read24;
};

TEST(TagKeys, EachKeyLandsInItsFrameAndReadsBack) {
    const std::vector<KeyCase> cases = {
        {"TITLE", {"New"}, "TIT2", "TIT2", {"New"}, {"New"}},
        {"albumartist", {"Various"}, "TPE2", "TPE2", {"Various"}, {"Various"}},
        {"ARTIST", {"A", "B"}, "TPE1", "TPE1", {"A/B"}, {"A", "B"}},
        {"GENRE", {"Rock"}, "TCON", "TCON", {"Rock"}, {"Rock"}},
        {"TRACKNUMBER", {"3/12"}, "TRCK", "TRCK", {"3/12"}, {"3/12"}},
        {"DATE", {"2004-05-01"}, "TYER", "TDRC", {"2004-05-01"}, {"2004-05-01"}},
        {"ORIGINALDATE", {"2011-03-16"}, "TORY", "TDOR", {"2011"}, {"2011-03-16"}},
        {"MOOD", {"Calm"}, "TXXX", "TMOO", {"Calm"}, {"Calm"}},
        {"MUSICBRAINZ_ALBUMID", {"abc"}, "TXXX", "TXXX", {"abc"}, {"abc"}},
        {"REPLAYGAIN_TRACK_GAIN", {"-6.5 dB"}, "TXXX", "TXXX", {"-6.5 dB"}, {"-6.5 dB"}},
        {"COMMENT", {"note"}, "COMM", "COMM", {"note"}, {"note"}},
        {"LYRICS", {"la la"}, "USLT", "USLT", {"la la"}, {"la la"}},
        {"TITLE", {}, nullptr, nullptr, {}, {}},  // count 0 removes
    };
    velkor::testing::TempDir dir;
    for (uint8_t version : {3, 4}) {
        for (const KeyCase& c : cases) {
            SCOPED_TRACE(std::string(c.key) + " in 2." + std::to_string(version));
            const std::string path = dir.write("a.mp3", tagged_file(version));
            velkor_edit* edit = nullptr;
            ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
            std::vector<const char*> given;
            for (const std::string& v : c.values) given.push_back(v.c_str());
            EXPECT_EQ(velkor_edit_set_key(edit, c.key, given.data(), static_cast<int32_t>(given.size())), VELKOR_OK);
            EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
            velkor_edit_close(edit);
            velkor_file* file = nullptr;
            ASSERT_EQ(velkor_open(path.c_str(), 0, &file), VELKOR_OK);
            const char* frame = version == 3 ? c.frame23 : c.frame24;
            if (frame != nullptr) {
                EXPECT_TRUE(has_frame(file, frame));
            } else {
                EXPECT_FALSE(has_frame(file, "TIT2"));
            }
            EXPECT_EQ(values_of(file, c.key), version == 3 ? c.read23 : c.read24);
            velkor_close(file);
        }
    }
}

TEST(TagKeys, UnknownKeysAndValuesAFrameRefusesLeaveTheEditAsItWas) {
    velkor::testing::TempDir dir;
    const std::string path = dir.write("a.mp3", tagged_file(3));
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
    const char* two[] = {"2001", "2002"};
    const char* bad_track[] = {"x"};
    EXPECT_EQ(velkor_edit_set_key(edit, "NOT_A_KEY", two, 1), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_edit_set_key(edit, "TIT2", two, 1), VELKOR_ERROR_ARGUMENT);  // a frame id, not a key
    EXPECT_EQ(velkor_edit_set_key(edit, "DATE", two, 2), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_edit_set_key(edit, "TRACKNUMBER", bad_track, 1), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_edit_set_key(edit, "MUSICBRAINZ_TRACKID", two, 1), VELKOR_ERROR_ARGUMENT);
    velkor_save_report report = {};
    report.size = sizeof report;
    EXPECT_EQ(velkor_edit_save(edit, 0, &report), VELKOR_OK);
    EXPECT_EQ(report.way, VELKOR_SAVED_NOTHING);
    velkor_edit_close(edit);
}

TEST(TagKeys, AKeyTheId3v2TagLacksComesFromApev2ThenId3v1) {
    using namespace velkor::testing;
    Bytes frames = id3v2_text_frame("TALB", "Id3 Album");
    const Bytes genre = id3v2_text_frame("TCON", "(4)Rock");
    frames.insert(frames.end(), genre.begin(), genre.end());
    Bytes bytes = id3v2_header(static_cast<uint32_t>(frames.size()), 3);
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    const Bytes audio = frame_file(4000);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const Bytes ape = bytes_of(ape_tag(ape_item("Title", "Ape Title") + ape_item("ALBUM", "Ape Album") +
                                           ape_item("Album Artist", std::string("X\0Y", 3)),
                                       3));
    bytes.insert(bytes.end(), ape.begin(), ape.end());
    const Bytes v1 = id3v1("V1 Title", "V1 Artist", "V1 Album", "1999", "", 7, 17);
    bytes.insert(bytes.end(), v1.begin(), v1.end());
    TempDir dir;
    const std::string path = dir.write("a.mp3", bytes);
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(path.c_str(), 0, &file), VELKOR_OK);
    EXPECT_EQ(values_of(file, "ALBUM"), std::vector<std::string>{"Id3 Album"});
    EXPECT_EQ(values_of(file, "GENRE"), (std::vector<std::string>{"Disco", "Rock"}));
    EXPECT_EQ(values_of(file, "title"), std::vector<std::string>{"Ape Title"});
    EXPECT_EQ(values_of(file, "ALBUMARTIST"), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(values_of(file, "ARTIST"), std::vector<std::string>{"V1 Artist"});
    EXPECT_EQ(values_of(file, "TRACKNUMBER"), std::vector<std::string>{"7"});
    EXPECT_EQ(values_of(file, "DATE"), std::vector<std::string>{"1999"});
    EXPECT_EQ(velkor_tag_count(file, "NOT_A_KEY"), 0);
    EXPECT_EQ(velkor_tag_value(file, "TITLE", 1), nullptr);
    std::vector<std::string> keys;
    for (int32_t i = 0; velkor_tag_key(file, i) != nullptr; ++i) keys.emplace_back(velkor_tag_key(file, i));
    EXPECT_EQ(keys, (std::vector<std::string>{"TITLE", "ARTIST", "ALBUM", "ALBUMARTIST", "DATE", "TRACKNUMBER",
                                              "GENRE"}));
    velkor_close(file);
    EXPECT_EQ(velkor_tag_count(nullptr, "TITLE"), -1);
}

// The frames not decoded at open (a comment) come from the bytes the open
// read: with the file gone, the key view and the frame still read.
TEST(TagKeys, FramesNotDecodedAtOpenNeedNoSecondOpen) {
    using namespace velkor::testing;
    const Bytes frame = id3v2_text_frame("COMM", std::string("eng\0note", 8));
    Bytes bytes = id3v2_header(static_cast<uint32_t>(frame.size()), 3);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const Bytes audio = frame_file(4000);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    TempDir dir;
    const std::string path = dir.write("a.mp3", bytes);
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(path.c_str(), 0, &file), VELKOR_OK);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(values_of(file, "COMMENT"), std::vector<std::string>{"note"});
    EXPECT_STREQ(velkor_frame_text(file, 0, VELKOR_FRAME_VALUE, 0), "note");
    velkor_close(file);
}

}  // namespace
