// The readers that are views of the frame model give one answer for the
// same bytes: the tag reader behind velkor's interface, the record's
// 30-character texts and the editor. Tags built byte by byte as other
// taggers wrote them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tag_bytes.h"
#include "tags/id3v2_edit.h"
#include "tags/id3v2_tag.h"
#include "tags/tag_record.h"

namespace {

using namespace std::string_literals;

using velkor::testing::be;
using velkor::testing::span;
std::string frame(int version, const std::string& id, const std::string& body, uint16_t flags = 0) {
    return velkor::testing::id3v2_frame(version, id, body, flags);
}
// The frames and 16 bytes of padding.
std::string tag(int version, const std::string& frames) { return velkor::testing::id3v2_tag(version, frames, 16); }
velkor::Id3v2Tag read(const std::string& bytes) {
    velkor::SpanSource source(span(bytes));
    return velkor::read_id3v2_tag(source, static_cast<int64_t>(bytes.size()));
}

TEST(FrameViews, NamedFieldsAsOtherReadersGiveThem) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string velkor::Id3v2Tag::*field;
        std::string want;
    };
    const Case kCases[] = {
        {"genre references", tag(3, frame(3, "TCON", "\0(00)(02)"s)), &velkor::Id3v2Tag::genre, "Blues; Country"},
        {"genre escaped", tag(4, frame(4, "TCON", "\0(0)((A genre)"s)), &velkor::Id3v2Tag::genre, "Blues; (A genre)"},
        {"genre values", tag(4, frame(4, "TCON", "\0(4)Rock\0" "22\0"s)), &velkor::Id3v2Tag::genre,
         "Disco; Rock; Death Metal"},
        {"several years", tag(3, frame(3, "TYER", "\0" "2000\0" "2001\0" "2002"s) + frame(3, "TDAT", "\0" "0102"s) +
                                     frame(3, "TIME", "\0" "1220"s)),
         &velkor::Id3v2Tag::date, "2000-02-01T12:20"},
        {"2.2 date", tag(2, frame(2, "TYE", "\0" "1999"s) + frame(2, "TDA", "\0" "3112"s)), &velkor::Id3v2Tag::date,
         "1999-12-31"},
        {"UTF-16 order carried", tag(4, frame(4, "TPE1", "\1\xFE\xFF\0F\0o\0o\0\0\0B\0a\0r"s)),
         &velkor::Id3v2Tag::artist, "Foo; Bar"},
        {"UTF-16 comment", tag(3, frame(3, "COMM", "\1eng\xFE\xFF\0\0\0h\0i"s)), &velkor::Id3v2Tag::comment, "hi"},
        {"2.2 title", tag(2, frame(2, "TT2", "\0t"s)), &velkor::Id3v2Tag::title, "t"},
        // An id of other bytes is no frame: passed over, the next one read.
        {"junk id", tag(3, frame(3, "\x06\xAF\xFE\x20"s, "\0junk"s) + frame(3, "TIT2", "\0real"s)),
         &velkor::Id3v2Tag::title, "real"},
    };
    for (const Case& c : kCases) EXPECT_EQ(read(c.bytes).*c.field, c.want) << c.what;
}

TEST(FrameViews, InvalidIdsAreNoFrames) {
    const std::string bytes =
        tag(3, frame(3, "A   ", "\0x"s) + frame(3, "TIT2", "\0t"s) + frame(3, "\x06\xAF\xFE\x20"s, "\0y"s));
    const velkor::Id3v2Tag read_tag = read(bytes);
    ASSERT_EQ(read_tag.frames.size(), 1u);
    EXPECT_STREQ(read_tag.frames[0].id, "TIT2");
    EXPECT_EQ(read_tag.frame_count, 1);
    velkor::Id3v2Edit edit(span(bytes));
    EXPECT_EQ(edit.frames().size(), 1u);
    EXPECT_EQ(edit.dropped(), 2);
}

// A 2.2 picture's format: one MIME type in the pictures, the frame's
// value and the tag written after an edit; "-->" is a linked picture.
TEST(FrameViews, Version22PictureFormatsGiveOneMimeType) {
    const struct {
        const char* format;
        const char* mime;
    } kCases[] = {{"jpg", "image/jpeg"}, {"JPG", "image/jpeg"}, {"PNG", "image/png"}, {"GIF", "image/gif"},
                  {"-->", "-->"}};
    for (const auto& c : kCases) {
        const std::string bytes = tag(2, frame(2, "PIC", "\0"s + c.format + "\3\0data"s) + frame(2, "TT2", "\0t"s));
        const velkor::Id3v2Tag read_tag = read(bytes);
        ASSERT_EQ(read_tag.pictures.size(), 1u) << c.format;
        EXPECT_EQ(read_tag.pictures[0].mime, c.mime);
        velkor::Id3v2Edit edit(span(bytes));
        edit.set_text("TIT2", {"edited"});
        const velkor::Id3v2Written written = edit.write(false);
        const velkor::Id3v2Tag again = read(std::string(written.bytes.begin(), written.bytes.end()));
        ASSERT_EQ(again.pictures.size(), 1u) << c.format;
        EXPECT_EQ(again.pictures[0].mime, c.mime) << c.format;
        EXPECT_EQ(again.title, "edited");
    }
}

// A compressed picture whose declared size is wrong still inflates to
// what its data holds.
TEST(FrameViews, CompressedFrameWithAWrongDeclaredSize) {
    const std::string content = "\0image/png\0\3\0"s + std::string(5000, 'p');
    std::vector<uint8_t> zipped(compressBound(static_cast<uLong>(content.size())));
    uLongf size = static_cast<uLongf>(zipped.size());
    compress(zipped.data(), &size, reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()));
    const std::string body = be(155, 4) + std::string(zipped.begin(), zipped.begin() + static_cast<long>(size));
    const std::string bytes = tag(3, frame(3, "APIC", body, 0x0080) + frame(3, "TIT2", "\0t"s));
    const velkor::Id3v2Tag read_tag = read(bytes);
    ASSERT_EQ(read_tag.pictures.size(), 1u);
    EXPECT_EQ(read_tag.pictures[0].bytes, 5000);
    velkor::SpanSource source(span(bytes));
    EXPECT_EQ(velkor::read_compressed_picture(source, read_tag.pictures[0]).size(), 5000u);
}

// The editor writes frames the codec reads back, GRP1 and MVNM included.
TEST(FrameViews, EditorWritesWhatTheReadersRead) {
    for (bool v24 : {false, true}) {
        velkor::Id3v2Edit edit;
        edit.set_text("GRP1", {"Group"});
        edit.set_text("MVNM", {"Allegro"});
        edit.set_text("TCON", {"(4)Rock"});
        const std::string euro = "\xE2\x82\xAC";
        edit.set_described_text("COMM", "eng", "", &euro);
        const velkor::Id3v2Written written = edit.write(v24);
        const std::string bytes(written.bytes.begin(), written.bytes.end());
        const velkor::Id3v2Tag read_tag = read(bytes);
        EXPECT_EQ(read_tag.genre, "Disco; Rock");
        EXPECT_EQ(read_tag.comment, "\xE2\x82\xAC");
        velkor::Id3v2Edit again(span(bytes));
        EXPECT_EQ(again.text("GRP1"), "Group");
        EXPECT_EQ(again.text("MVNM"), "Allegro");
        EXPECT_EQ(again.comment(), "\xE2\x82\xAC");
    }
}

// The record's 30-character texts come from the same frames.
TEST(FrameViews, RecordTextsReadTheSameFrames) {
    velkor::TagRecord record;
    const std::string bytes = tag(3, frame(3, "COMM", "\1eng\xFE\xFF\0d\0\0\0h\0i"s) +
                                         frame(3, "TYER", "\0" "2001"s) + frame(4, "TDRC", "\0" "1999"s));
    record.LoadTag2(span(bytes), static_cast<int32_t>(bytes.size()));
    EXPECT_STREQ(record.v2_comment, "hi");
    EXPECT_EQ(record.year, 2001);  // TDRC is not a 2.3 frame
}

}  // namespace

namespace {

// Each frame of a tag as the codec reads it: id and values.
std::vector<std::pair<std::string, std::vector<std::string>>> listed(const std::string& bytes) {
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    velkor::SpanSource source(span(bytes));
    velkor::Id3v2Header header;
    velkor::parse_id3v2_header(span(bytes), header);
    velkor::Id3v2FrameWalk walk(source, header, header.tag_size());
    velkor::Id3v2Frame frame;
    velkor::TagCursor body;
    while (walk.next(frame, body)) {
        out.push_back({frame.id, velkor::read_id3v2_frame_values(source, frame, body).values});
    }
    return out;
}

std::string written(const velkor::Id3v2Edit& edit) {
    const velkor::Id3v2Written w = edit.write(false);
    return std::string(w.bytes.begin(), w.bytes.end());
}

using Listed = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Conversions as other taggers make them, both ways.
TEST(FrameViews, ConversionBetweenVersions) {
    const std::string v24 = tag(4, frame(4, "TDRC", "\3" "2011-03-16T12:20"s) + frame(4, "TDOR", "\3" "2011-03-16"s) +
                                       frame(4, "TMCL", "\3guitar\0B"s) + frame(4, "TCON", "\3" "51\0" "39\0Power Noise"s) +
                                       frame(4, "TPE1", "\3A\0B"s) + frame(4, "TIPL", "\3producer\0A"s) +
                                       frame(4, "TMOO", "\3calm"s) + frame(4, "COMM", "\3eng\0\xC3\xBC"s) +
                                       frame(4, "PRIV", "owner\0\1\2"s));
    velkor::Id3v2Edit down(span(v24));
    down.convert_to(3);
    EXPECT_EQ(down.dropped(), 1);  // TMOO has no 2.3 form
    const std::string v23 = written(down);
    EXPECT_EQ(v23[3], 3);
    const Listed want23 = {{"TYER", {"2011"}},
                           {"TDAT", {"1603"}},
                           {"TIME", {"1220"}},
                           {"TORY", {"2011"}},
                           {"IPLS", {"producer", "A", "guitar", "B"}},
                           {"TCON", {"(51)(39)Power Noise"}},
                           {"TPE1", {"A/B"}},
                           {"COMM", {"\xC3\xBC"}},
                           {"PRIV", {}}};
    EXPECT_EQ(listed(v23), want23);
    EXPECT_EQ(read(v23).date, "2011-03-16T12:20");
    EXPECT_EQ(read(v23).genre, "Techno-Industrial; Noise; Power Noise");

    velkor::Id3v2Edit up(span(v23));
    up.convert_to(4);
    const Listed want24 = {{"TDRC", {"2011-03-16T12:20"}},
                           {"TDOR", {"2011"}},
                           {"TIPL", {"producer", "A", "guitar", "B"}},
                           {"TCON", {"51", "39", "Power Noise"}},
                           {"TPE1", {"A/B"}},
                           {"COMM", {"\xC3\xBC"}},
                           {"PRIV", {}}};
    EXPECT_EQ(listed(written(up)), want24);

    // 2.3 frames 2.4 has no form of go; a tag of the version asked stays as it is.
    velkor::Id3v2Edit old(span(tag(3, frame(3, "TRDA", "\0x"s) + frame(3, "TSIZ", "\0" "1"s) +
                                          frame(3, "TIT2", "\0t"s))));
    old.convert_to(4);
    EXPECT_EQ(old.dropped(), 2);
    EXPECT_EQ(listed(written(old)), (Listed{{"TIT2", {"t"}}}));
    velkor::Id3v2Edit same(span(v24));
    same.convert_to(4);
    EXPECT_EQ(written(same).substr(10, 40), v24.substr(10, 40));
}

}  // namespace
