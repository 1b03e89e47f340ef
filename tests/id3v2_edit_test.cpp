// Editing ID3v2 tags: the frame list and its writer over byte-built tags
// (frames not edited come back byte for byte, versions, padding, frames
// stored compressed or unsynchronised), and velkor_edit_* on files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tags/id3v2_edit.h"
#include "frames/frame_codec.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"
#include "tag_bytes.h"
#include "test_files.h"
#include "velkor.h"

namespace {

using namespace std::string_literals;
using velkor::ByteSpan;
using velkor::Id3v2Edit;

using velkor::testing::be;
using velkor::testing::span;
using velkor::testing::syncsafe;
std::string frame(int version, const std::string& id, const std::string& body, uint16_t flags = 0) {
    return velkor::testing::id3v2_frame(version, id, body, flags);
}
std::string tag(int version, const std::string& frames, std::size_t padding = 0, uint8_t flags = 0) {
    return velkor::testing::id3v2_tag(version, frames, padding, flags);
}
std::string text_of(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

struct Found {
    std::string id, stored;  // the whole frame as written
    velkor::Id3v2FrameValues values;
};

// Every frame of a written tag, through the readers the library shares.
std::vector<Found> frames_of(const std::string& bytes) {
    std::vector<Found> found;
    velkor::Id3v2Header header;
    if (!velkor::parse_id3v2_header(span(bytes), header)) return found;
    velkor::SpanSource source(span(bytes));
    velkor::Id3v2FrameWalk walk(source, header, header.tag_size());
    velkor::Id3v2Frame frame;
    velkor::TagCursor body;
    while (walk.next(frame, body)) {
        const auto at = static_cast<std::size_t>(body.source_offset()) - 10;
        found.push_back({frame.id, bytes.substr(at, 10 + frame.size), velkor::read_id3v2_frame_values(source, frame, body)});
    }
    return found;
}

const std::string kPicture = "\x89PNG\r\n\x1A\n\xFF\x00\xFF"s;
// A 2.3 tag of frames of many kinds, in the order the table's checks expect.
std::string sample_v23() {
    return tag(3,
               frame(3, "TIT2", "\0Old title"s) + frame(3, "PRIV", "owner\0\x01\x02\xFF"s, 0x2000) +
                   frame(3, "TXXX", "\0mood\0calm"s) + frame(3, "COMM", "\0engnote\0kept"s) +
                   frame(3, "COMM", "\0eng\0plain"s) + frame(3, "APIC", "\0image/png\0\x03\0"s + kPicture) +
                   frame(3, "XYZ1", "\x00\x01\x02"s),
               300);
}

struct EditCase {
    const char* name;
    std::function<void(Id3v2Edit&)> edit;
    const char* id;      // the frame changed
    int index;           // its place in the written tag; -1: removed
    const char* value;   // its value 0 (the MIME type for a picture)
    std::string description;
};

TEST(Id3v2Edit, OneFrameChangesAndEveryOtherComesBackAsStored) {
    const std::string before_tag = sample_v23();
    const std::vector<Found> before = frames_of(before_tag);
    const std::string unicode = "Zo\xC3\xAB \xE2\x98\x83";  // "Zoë ☃": UTF-16 in 2.3
    const std::string note = "note", empty;
    const EditCase cases[] = {
        {"text", [](Id3v2Edit& e) { e.set_text("TIT2", {"New"}); }, "TIT2", 0, "New", ""},
        {"text outside Latin-1", [&](Id3v2Edit& e) { e.set_text("TIT2", {unicode}); }, "TIT2", 0, unicode.c_str(), ""},
        {"two values joined in 2.3", [](Id3v2Edit& e) { e.set_text("TIT2", {"a", "b"}); }, "TIT2", 0, "a/b", ""},
        {"user text by description", [](Id3v2Edit& e) { e.set_user_text("mood", {"wild"}); }, "TXXX", 2, "wild", "mood"},
        {"comment by description", [&](Id3v2Edit& e) { e.set_described_text("COMM", "eng", "", &note); }, "COMM", 4,
         "note", ""},
        {"new text at the end", [](Id3v2Edit& e) { e.set_text("TPE1", {"Artist"}); }, "TPE1", 7, "Artist", ""},
        {"picture of the same type and description",
         [](Id3v2Edit& e) { e.add_picture(3, "image/jpeg", "", {1, 2, 3}); }, "APIC", 5, "image/jpeg", ""},
        {"frame removed", [](Id3v2Edit& e) { e.remove_frames("PRIV"); }, "PRIV", -1, "", ""},
        {"comment removed", [](Id3v2Edit& e) { e.set_described_text("COMM", "eng", "note", nullptr); }, "COMM", -1, "",
         "note"},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Id3v2Edit edit(span(before_tag));
        c.edit(edit);
        const velkor::Id3v2Written written = edit.write(false);
        ASSERT_EQ(written.version, 3);
        const std::vector<Found> after = frames_of(text_of(written.bytes));
        std::size_t b = 0;
        for (std::size_t a = 0; a < after.size(); ++a) {
            if (static_cast<int>(a) == c.index) {
                EXPECT_EQ(after[a].id, c.id);
                ASSERT_FALSE(after[a].values.values.empty());
                EXPECT_EQ(after[a].values.values[0], c.value);
                EXPECT_EQ(after[a].values.description, c.description);
                if (b < before.size() && before[b].id == c.id) ++b;  // the frame it replaced
                continue;
            }
            if (c.index < 0 && b < before.size() && before[b].id == c.id &&
                before[b].values.description == c.description) {
                ++b;  // the frame removed
            }
            ASSERT_LT(b, before.size());
            EXPECT_EQ(after[a].stored, before[b].stored) << "frame " << a;
            ++b;
        }
        if (c.index < 0) {
            EXPECT_EQ(after.size(), before.size() - 1);
        }
        EXPECT_EQ(written.bytes.size(), before_tag.size()) << "fits the old room: padded to it";
    }
}

TEST(Id3v2Edit, Versions) {
    // 2.2: ids and the picture's format converted, a frame without a 2.3 id dropped.
    const std::string v22 = tag(2, frame(2, "TT2", "\0Title"s) + frame(2, "CRM", "x\0abc"s) +
                                       frame(2, "PIC", "\0PNG\x03\0"s + kPicture));
    Id3v2Edit old(span(v22));
    old.set_text("TALB", {"Album"});
    EXPECT_EQ(old.dropped(), 1);
    velkor::Id3v2Written written = old.write(false);
    EXPECT_EQ(written.version, 3);
    std::vector<Found> found = frames_of(text_of(written.bytes));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].stored, frame(3, "TIT2", "\0Title"s));
    EXPECT_EQ(found[1].stored, frame(3, "APIC", "\0image/png\0\x03\0"s + kPicture));
    EXPECT_EQ(old.write(true).version, 4) << "a converted tag may be 2.4";

    // 2.4 stays 2.4 whatever is asked, with syncsafe sizes; values kept apart in UTF-8.
    const std::string long_text = "\0"s + std::string(200, 'x');
    Id3v2Edit v24(span(tag(4, frame(4, "TIT2", long_text))));
    v24.set_text("TPE1", {"a", "\xC3\xA9"});
    written = v24.write(false);
    EXPECT_EQ(written.version, 4);
    found = frames_of(text_of(written.bytes));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].stored, frame(4, "TIT2", long_text));
    EXPECT_EQ(found[1].stored, frame(4, "TPE1", "\x03" "a\0\xC3\xA9"s));

    // A new tag: 2.3 with Latin-1 where it fits, UTF-16 where not; 2.4 on request.
    Id3v2Edit fresh;
    fresh.set_text("TIT2", {"caf\xC3\xA9"});
    fresh.set_text("TPE1", {"\xE2\x98\x83"});
    found = frames_of(text_of(fresh.write(false).bytes));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].stored, frame(3, "TIT2", "\0caf\xE9"s));
    EXPECT_EQ(found[1].stored, frame(3, "TPE1", "\x01\xFF\xFE\x03\x26"s));
    EXPECT_EQ(fresh.write(true).version, 4);
}

TEST(Id3v2Edit, PaddingAndRoom) {
    const std::string small = tag(3, frame(3, "TIT2", "\0a"s), 2000);
    Id3v2Edit fits(span(small));
    fits.set_text("TALB", {"Album"});
    EXPECT_EQ(fits.write(false).bytes.size(), small.size());

    Id3v2Edit grows(span(tag(3, frame(3, "TIT2", "\0a"s))));
    grows.add_picture(3, "image/png", "", std::vector<uint8_t>(40000, 7));
    const std::size_t frames = frame(3, "TIT2", "\0a"s).size() + 10 + 1 + 10 + 1 + 1 + 40000;
    EXPECT_EQ(grows.write(false).bytes.size(), 10 + frames + std::min<std::size_t>(1024 + frames / 16, 4096));

    // A tag left without frames is no tag.
    Id3v2Edit emptied(span(small));
    emptied.remove_frames("TIT2");
    EXPECT_TRUE(emptied.write(false).bytes.empty());
    Id3v2Edit removed(span(small));
    removed.remove_all();
    EXPECT_TRUE(removed.write(false).bytes.empty());
}

TEST(Id3v2Edit, FramesStoredCompressedOrUnsynchronisedAreWrittenPlain) {
    const std::string content = "\0"s + std::string(300, 'z');
    std::vector<uint8_t> zipped(compressBound(static_cast<uLong>(content.size())));
    uLongf zipped_size = static_cast<uLongf>(zipped.size());
    compress(zipped.data(), &zipped_size, reinterpret_cast<const Bytef*>(content.data()),
             static_cast<uLong>(content.size()));
    const std::string zlib(reinterpret_cast<const char*>(zipped.data()), zipped_size);
    const std::string plain = frame(3, "TIT2", content);
    struct Case {
        const char* name;
        std::string tag;
        std::string expected;  // the frame as written
    } const cases[] = {
        {"2.3 compressed", tag(3, frame(3, "TIT2", be(301, 4) + zlib, 0x0080)), plain},
        {"2.3 compressed, grouped, status kept",
         tag(3, frame(3, "TIT2", be(301, 4) + "\x07"s + zlib, 0x80A0)), frame(3, "TIT2", "\x07"s + content, 0x8020)},
        {"2.3 tag unsynchronised", tag(3, frame(3, "PRIV", "o\0\xFF\x00\xE0\xFF"s), 0, 0x80),
         frame(3, "PRIV", "o\0\xFF\xE0\xFF"s)},
        {"2.4 frame unsynchronised with data length",
         tag(4, frame(4, "PRIV", syncsafe(4) + "o\0\xFF\x00\xE0"s, 0x0003)), frame(4, "PRIV", "o\0\xFF\xE0"s)},
        {"2.4 compressed with data length", tag(4, frame(4, "TIT2", syncsafe(301) + zlib, 0x0009)),
         frame(4, "TIT2", content)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Id3v2Edit edit(span(c.tag));
        edit.set_text("TALB", {"x"});
        const std::string written = text_of(edit.write(false).bytes);
        EXPECT_EQ(written[5], 0) << "no tag flags";
        const std::vector<Found> found = frames_of(written);
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found[0].stored, c.expected);
    }
}

// velkor_edit_* on a file: an ID3v2.3 tag with room, audio, APEv2, ID3v1.
class EditFile : public ::testing::Test {
protected:
    void SetUp() override {
        audio_ = velkor::testing::frame_file(3000);
        const std::string id3 = tag(3, frame(3, "TIT2", "\0Old"s) + frame(3, "TPE1", "\0Band"s), 500);
        ape_ = velkor::testing::ape_tag(velkor::testing::ape_item("Title", "Ape"), 1);
        const velkor::testing::Bytes v1 = velkor::testing::id3v1("Old", "Band", "Album", "1999", "c", 4, 17);
        velkor::testing::Bytes bytes(id3.begin(), id3.end());
        bytes.insert(bytes.end(), audio_.begin(), audio_.end());
        bytes.insert(bytes.end(), ape_.begin(), ape_.end());
        bytes.insert(bytes.end(), v1.begin(), v1.end());
        path_ = dir_.write("a.mp3", bytes);
    }
    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    velkor::testing::TempDir dir_;
    velkor::testing::Bytes audio_;
    std::string ape_, path_;
};

TEST_F(EditFile, SaveKeepsAudioAndApeAndTheId3v1TagInStep) {
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(path_.c_str(), 0, &edit), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_TITLE, "New \xC3\xA9"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_GENRE, "8"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_DATE, "2004-05-01T12:30"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_text(edit, "TXXX", nullptr, 0), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_DATE, "May 2004"), VELKOR_ERROR_ARGUMENT);
    const std::string before = contents();

    velkor_save_report report = {};
    report.size = sizeof report;
    ASSERT_EQ(velkor_edit_save(edit, VELKOR_SAVE_DRY_RUN, &report), VELKOR_OK);
    EXPECT_EQ(contents(), before);
    ASSERT_EQ(velkor_edit_save(edit, 0, &report), VELKOR_OK);
    EXPECT_NE(report.way, VELKOR_SAVED_NOTHING);
    EXPECT_EQ(report.id3v2_version, 3);
    EXPECT_EQ(report.tags, VELKOR_TAG_ID3V1 | VELKOR_TAG_ID3V2 | VELKOR_TAG_APEV2);
    const std::string after = contents();
    ASSERT_EQ(after.size(), before.size()) << "the tag fitted its room";
    EXPECT_EQ(after.substr(510, audio_.size() + ape_.size()), before.substr(510, audio_.size() + ape_.size()));

    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(path_.c_str(), 0, &file), VELKOR_OK);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_TITLE), "New \xC3\xA9");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_ARTIST), "Band");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_GENRE), "Jazz");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_DATE), "2004-05-01T12:30");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_TITLE), "New \xC3\xA9");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_ARTIST), "Band") << "not edited: as it was";
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_YEAR), "2004");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_GENRE), "Jazz");
    velkor_close(file);

    // Saved again from the state it saved; a file changed meanwhile is refused.
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_ALBUM, "A"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_ALBUM, "B"), VELKOR_OK);
    velkor::testing::Bytes changed(before.begin(), before.end());
    dir_.write("a.mp3", changed);
    EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_ERROR_CHANGED);
    EXPECT_EQ(contents(), before);
    velkor_edit_close(edit);
}

TEST_F(EditFile, TagsRemovedAndAdded) {
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(path_.c_str(), 0, &edit), VELKOR_OK);
    ASSERT_EQ(velkor_edit_remove_tag(edit, VELKOR_TAG_ID3V2 | VELKOR_TAG_APEV2 | VELKOR_TAG_ID3V1), VELKOR_OK);
    ASSERT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
    EXPECT_EQ(contents(), std::string(audio_.begin(), audio_.end()));

    // A bare file gets a new tag, and an ID3v1 tag filled from it when asked.
    ASSERT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_TRACK, "3/12"), VELKOR_OK);
    ASSERT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_ARTIST, "Who"), VELKOR_OK);
    ASSERT_EQ(velkor_edit_set_id3v1(edit, VELKOR_ID3V1_ADD), VELKOR_OK);
    velkor_save_report report = {};
    report.size = sizeof report;
    ASSERT_EQ(velkor_edit_save(edit, VELKOR_SAVE_ID3V24, &report), VELKOR_OK);
    EXPECT_EQ(report.id3v2_version, 4);
    velkor_edit_close(edit);
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(path_.c_str(), 0, &file), VELKOR_OK);
    velkor_file_facts facts = {};
    facts.size = sizeof facts;
    velkor_facts(file, &facts);
    EXPECT_EQ(facts.id3v2_version, 4);
    EXPECT_EQ(facts.id3v1_track, 3);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V1_ARTIST), "Who");
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_TRACK), "3/12");
    velkor_close(file);
}

}  // namespace
