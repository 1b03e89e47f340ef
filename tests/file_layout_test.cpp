// One layout of a file, built from bytes: which ID3v2 header a save may
// overwrite, where the audio lies, which trailing tags there are; and the
// edits other taggers' test scenarios make, which must keep every byte that
// is not a tag they change.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "layout/file_layout.h"
#include "tag_bytes.h"
#include "test_files.h"
#include "velkor.h"

namespace {

using namespace std::string_literals;
using namespace velkor;
using namespace velkor::testing;
using Kind = TrailingTag::Kind;

// An ID3v2 tag of one TIT2 frame (2.3 sizes; 2.4 syncsafe ones) and padding.
std::string id3v2(const std::string& title, int version = 3, uint8_t flags = 0, std::size_t padding = 100) {
    return id3v2_tag(version, id3v2_frame(version, "TIT2", '\0' + title), padding, flags);
}
std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Seven whole frames and a few more bytes: audio however the search for
// it starts within the first frame.
std::string audio() {
    Bytes bytes(3000, 0);
    const std::size_t length = frame_bytes(kMpeg1Header);
    for (std::size_t at = 0; at + length <= bytes.size(); at += length) put_lone_header(bytes, at);
    return text(bytes);
}
const std::string kAudio = audio();
const std::string kV1 = text(id3v1("ID3v1", "Band", "Album", "1999", "c", 4, 17));
// mutagen's lookalike: an APE tag of 131 bytes, so that its last 128 begin
// at byte 3 of its header, "TAG" of "APETAGEX".
const std::string kApeLookalike = ape_tag(ape_item("oh", std::string(56, 'o')), 1);
// The header's bytes 5 to 8 overwritten ("nope"): flags 0x6E and a size of
// some 234 MB in a file of a few KiB.
std::string corrupt(std::string tag) { return tag.replace(5, 4, "nope"); }

TEST(FileLayout, RegionsOfTaggedFiles) {
    const std::string tag = id3v2("Old"), v24 = id3v2("Old", 4, 0x10);
    const std::string footer = "3DI"s + '\4' + '\0' + '\x10' + v24.substr(6, 4);
    ASSERT_EQ(kApeLookalike.size(), 131u);
    struct {
        const char* name;
        std::string file;
        bool present, trusted;
        int64_t audio_begin, tags_begin;
        std::vector<Kind> kinds;  // from the end inwards
        bool tags_only;
    } const cases[] = {
        {"tag, audio, ID3v1", tag + kAudio + kV1, true, true, int64_t(tag.size()), int64_t(tag.size() + 3000),
         {Kind::kId3v1}, false},
        {"size past the end (mutagen's corrupt save)", corrupt(tag) + kAudio + kV1, true, false, 0,
         int64_t(tag.size() + 3000), {Kind::kId3v1}, false},
        {"flag undefined in 2.3", id3v2("Old", 3, 0x01) + kAudio, true, false, int64_t(tag.size()),
         int64_t(tag.size() + 3000), {}, false},
        {"version 5", id3v2("Old", 5) + kAudio, true, false, int64_t(tag.size()), int64_t(tag.size() + 3000), {},
         false},
        {"2.4 footer where the size says", v24 + footer + kAudio, true, true, int64_t(v24.size() + 10),
         int64_t(v24.size() + 10 + 3000), {}, false},
        {"2.4 footer missing", v24 + kAudio, true, false, int64_t(v24.size() + 10), int64_t(v24.size() + 3000), {},
         false},
        {"APE whose last 128 bytes begin with TAG", kAudio + kApeLookalike, false, false, 0, 3000, {Kind::kApev2},
         false},
        {"the same APE, then ID3v1", kAudio + kApeLookalike + kV1, false, false, 0, 3000,
         {Kind::kId3v1, Kind::kApev2}, false},
        {"tags only", tag + kApeLookalike + kV1, true, true, int64_t(tag.size()), int64_t(tag.size()),
         {Kind::kId3v1, Kind::kApev2}, true},
        {"an ID3v2 tag alone", tag, true, true, 0, int64_t(tag.size()), {}, true},
        {"an untrusted tag and ID3v1", id3v2("Old", 3, 0x01) + kV1, true, false, int64_t(tag.size()),
         int64_t(tag.size()), {Kind::kId3v1}, false},
        {"a tag repeated behind the first", tag + tag + kAudio, true, true, int64_t(2 * tag.size()),
         int64_t(2 * tag.size() + 3000), {}, false},
        {"empty", "", false, false, 0, 0, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpanSource source = source_of(c.file);
        const FileLayout layout = describe_file(source, static_cast<int64_t>(c.file.size()));
        EXPECT_EQ(layout.id3v2.present, c.present);
        EXPECT_EQ(layout.id3v2.trusted, c.trusted);
        EXPECT_EQ(layout.audio_begin, c.audio_begin);
        EXPECT_EQ(layout.tags_begin, c.tags_begin);
        std::vector<Kind> kinds;
        for (const TrailingTag& found : layout.trailing) kinds.push_back(found.kind);
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(layout.id3v1_begin >= 0, !c.kinds.empty() && c.kinds.front() == Kind::kId3v1);
        EXPECT_EQ(layout.tags_only(), c.tags_only);
        // The frame is found wherever the search starts, never in a tag.
        const bool audio = c.file.find(kAudio) != std::string::npos;
        EXPECT_EQ(find_first_frame(source, layout) >= 0, audio);
    }
}

class LayoutEdit : public ::testing::Test {
protected:
    std::string write(const std::string& bytes) { return path_ = dir_.write("a.mp3", bytes_of(bytes)); }
    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Opens an edit, lets `change` make its changes, and saves.
    template <typename Change>
    void edit(Change change) {
        velkor_edit* edit = nullptr;
        ASSERT_EQ(velkor_edit_open(path_.c_str(), 0, &edit), VELKOR_OK);
        change(edit);
        EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
        velkor_edit_close(edit);
    }
    void set_title(const char* title) {
        edit([&](velkor_edit* e) { ASSERT_EQ(velkor_edit_set_field(e, VELKOR_ID3V2_TITLE, title), VELKOR_OK); });
    }
    velkor_file* open_file() {
        velkor_file* file = nullptr;
        EXPECT_EQ(velkor_open(path_.c_str(), 0, &file), VELKOR_OK);
        return file;
    }
    velkor_file_facts facts_of(velkor_file* file) {
        velkor_file_facts facts = {};
        facts.size = sizeof facts;
        velkor_facts(file, &facts);
        return facts;
    }

    TempDir dir_;
    std::string path_;
};

// mutagen's test_corrupt_save: the header claims far more than the file
// holds. The reader finds the audio behind the real tag; an edit puts its
// tag in front and keeps every old byte, the audio and ID3v1 tag included.
TEST_F(LayoutEdit, CorruptHeaderSizeKeepsTheAudioAndId3v1) {
    const std::string tag = id3v2("Old");
    const std::string before = corrupt(tag) + kAudio + kV1;
    write(before);
    velkor_file* file = open_file();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(facts_of(file).first_frame_offset, int64_t(tag.size()));
    velkor_close(file);

    set_title("x");
    const std::string after = contents();
    ASSERT_GT(after.size(), before.size());
    const std::size_t moved = after.size() - before.size();
    EXPECT_EQ(after.substr(moved, before.size() - 128), before.substr(0, before.size() - 128));
    EXPECT_EQ(after.substr(after.size() - 128, 3), "TAG");
    file = open_file();
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_TITLE), "x");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_ARTIST), "Band");
    EXPECT_EQ(facts_of(file).first_frame_offset, int64_t(moved + tag.size()));
    velkor_close(file);
}

// mutagen's test_ape_id3_lookalike: the APE tag is read as one, and an
// ID3v2 edit keeps it byte for byte with no ID3v1 tag made up.
TEST_F(LayoutEdit, ApeTagThatLooksLikeId3v1StaysApe) {
    write(kAudio + kApeLookalike);
    for (int round = 0; round < 2; ++round) {
        velkor_file* file = open_file();
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(facts_of(file).id3v1, 0);
        ASSERT_EQ(velkor_ape_item_count(file), 1);
        EXPECT_STREQ(velkor_ape_item_text(file, 0, VELKOR_APE_KEY, 0), "oh");
        velkor_close(file);
        if (round == 0) set_title("x");
    }
    const std::string after = contents();
    EXPECT_EQ(after.substr(after.size() - kApeLookalike.size()), kApeLookalike);
    EXPECT_EQ(after.substr(after.size() - kApeLookalike.size() - kAudio.size(), kAudio.size()), kAudio);

    // The ID3v1 writer asks the same layout: its tag goes behind the APE tag.
    velkor_id3v1_fields fields = {};
    fields.size = sizeof fields;
    fields.fields = VELKOR_FIELD_TITLE;
    fields.title = "v1";
    ASSERT_EQ(velkor_write_id3v1(path_.c_str(), &fields), VELKOR_OK);
    const std::string written = contents();
    ASSERT_EQ(written.size(), after.size() + 128);
    EXPECT_EQ(written.substr(0, after.size()), after);
    velkor_file* file = open_file();
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_TITLE), "v1");
    EXPECT_EQ(velkor_ape_item_count(file), 1);
    velkor_close(file);
}

// A copy of an ID3v1 tag inside the outermost is a tag the edit does not
// change: it stays as stored, and only the outermost follows the title.
TEST_F(LayoutEdit, Id3v1CopiesInsideTheOutermostStay) {
    const std::string copy = text(id3v1("Copy", "", "", "", "", 0, 0));
    write(kAudio + copy + kV1);
    set_title("x");
    const std::string after = contents();
    ASSERT_GE(after.size(), copy.size() + 128);
    EXPECT_EQ(after.substr(after.size() - 128 - copy.size(), copy.size()), copy);
    EXPECT_EQ(after.substr(after.size() - 128 - copy.size() - kAudio.size(), kAudio.size()), kAudio);
    velkor_file* file = open_file();
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_TITLE), "x");
    velkor_close(file);
}

// TagLib's testStripAndProperties: three tags with three titles, removed one
// at a time in its order (ID3v2, APE, ID3v1); each removal leaves the
// others as they were.
TEST_F(LayoutEdit, TagsStrippedOneAtATime) {
    const std::string ape = ape_tag(ape_item("Title", "APE"), 1);
    write(id3v2("ID3v2") + kAudio + ape + kV1);
    struct {
        uint32_t remove;
        const char *v2, *ape, *v1;
    } const steps[] = {
        {0, "ID3v2", "APE", "ID3v1"},
        {VELKOR_TAG_ID3V2, "", "APE", "ID3v1"},
        {VELKOR_TAG_APEV2, "", nullptr, "ID3v1"},
        {VELKOR_TAG_ID3V1, "", nullptr, ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.remove);
        if (step.remove != 0) {
            edit([&](velkor_edit* e) { ASSERT_EQ(velkor_edit_remove_tag(e, step.remove), VELKOR_OK); });
        }
        velkor_file* file = open_file();
        ASSERT_NE(file, nullptr);
        EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_TITLE), step.v2);
        EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_TITLE), step.v1);
        EXPECT_EQ(velkor_ape_item_count(file), step.ape ? 1 : 0);
        if (step.ape) {
            EXPECT_STREQ(velkor_ape_item_text(file, 0, VELKOR_APE_VALUE, 0), step.ape);
        }
        velkor_close(file);
    }
    EXPECT_EQ(contents(), kAudio);
}

// Only MPEG audio, or a file of nothing but tags, is edited; anything else
// is refused as it stands.
TEST_F(LayoutEdit, FilesThatAreNotMpegAudioAreRefused) {
    const std::string wave = "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\0\0\0\0"s;
    struct {
        const char* name;
        std::string file;
        int32_t status;
    } const cases[] = {
        {"FLAC", "fLaC\0\0\0\x22"s + std::string(600, '\xFF'), VELKOR_ERROR_NO_AUDIO},
        {"WAVE of PCM", wave, VELKOR_ERROR_NO_AUDIO},
        {"FLAC behind an ID3v2 tag", id3v2("x") + "fLaC" + kAudio, VELKOR_ERROR_NO_AUDIO},
        {"text", "hello\n", VELKOR_ERROR_NO_AUDIO},
        {"empty", "", VELKOR_ERROR_NO_AUDIO},
        {"a tag and no frame", id3v2("x") + std::string(500, 'z'), VELKOR_ERROR_NO_AUDIO},
        {"tags only", id3v2("x") + kV1, VELKOR_OK},
        {"MPEG audio", kAudio, VELKOR_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.file);
        velkor_edit* edit = nullptr;
        EXPECT_EQ(velkor_edit_open(path_.c_str(), 0, &edit), c.status);
        EXPECT_EQ(edit != nullptr, c.status == VELKOR_OK);
        if (edit != nullptr) {
            EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_TITLE, "x"), VELKOR_OK);
            EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
            velkor_edit_close(edit);
        } else {
            EXPECT_EQ(contents(), c.file);
        }
    }
}

}  // namespace
