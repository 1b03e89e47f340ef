// The ID3v2.2/2.3 reader over byte-built tags: the frame walk, text
// decoding, comment frames, unsynchronisation, extended headers, and any
// truncated or random input.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tag_bytes.h"
#include "tags/tag_record.h"

namespace {

using velkor::ByteSpan;
using velkor::TagRecord;
using namespace std::string_literals;

// Builds a tag: the 10-byte header (its size counting what follows), the
// frames in the order added, then zero padding.
class TagBuilder {
public:
    explicit TagBuilder(int version, uint8_t flags = 0) : version_(version), flags_(flags) {}

    TagBuilder& frame(const std::string& id, const std::string& body) {
        return raw_frame(id, static_cast<uint32_t>(body.size()), body);
    }
    // A frame whose size field says `size`, whatever the body holds.
    TagBuilder& raw_frame(const std::string& id, uint32_t size, const std::string& body) {
        frames_ += id;
        const int width = version_ == 2 ? 3 : 4;
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
            frames_ += static_cast<char>((size >> shift) & 0xFF);
        }
        if (version_ != 2) frames_ += "\0\0"s;
        frames_ += body;
        return *this;
    }
    // A text frame with encoding byte 0.
    TagBuilder& text(const std::string& id, const std::string& value) {
        return frame(id, "\0"s + value);
    }
    TagBuilder& bytes(const std::string& raw) {
        frames_ += raw;
        return *this;
    }

    std::string build(std::size_t padding = 0) const {
        const std::size_t size = frames_.size() + padding;
        std::string tag = "ID3"s + static_cast<char>(version_) + '\0' + static_cast<char>(flags_);
        for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((size >> shift) & 0x7F);
        return tag + frames_ + std::string(padding, '\0');
    }

private:
    int version_;
    uint8_t flags_;
    std::string frames_;
};

// Reads a tag from a heap copy of exactly its bytes, so that the sanitizer
// catches any read past them.
int32_t load(TagRecord& tag, const std::string& bytes, int32_t length) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return tag.LoadTag2(ByteSpan(copy.get(), bytes.size()), length);
}
int32_t load(TagRecord& tag, const std::string& bytes) {
    return load(tag, bytes, static_cast<int32_t>(bytes.size()));
}

std::string utf16le(const std::string& latin1) {
    std::string out = "\xFF\xFE"s;
    for (char c : latin1) out += c + "\0"s;
    return out;
}

TEST(Id3v2Reader, Version23FramesUpToThePadding) {
    const std::string bytes = TagBuilder(3)
                                  .text("TIT2", "Title")
                                  .text("TPE1", "Artist")
                                  .text("TALB", "Album")
                                  .build(64) + "TIT2 after the padding";
    TagRecord tag;
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "Title");
    EXPECT_STREQ(tag.v2_artist, "Artist");
    EXPECT_STREQ(tag.v2_album, "Album");
    EXPECT_STREQ(tag.v2_comment, "");
}

TEST(Id3v2Reader, Version22FramesLandInTheSameFields) {
    const std::string bytes = TagBuilder(2)
                                  .text("TT2", "Title")
                                  .text("TP1", "Artist")
                                  .text("TAL", "Album")
                                  .text("TRK", "7/12")
                                  .text("TYE", "1994")
                                  .text("TCO", "(17)")
                                  .frame("COM", "\0eng\0Said"s)
                                  .build();
    TagRecord tag;
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "Title");
    EXPECT_STREQ(tag.v2_artist, "Artist");
    EXPECT_STREQ(tag.v2_album, "Album");
    EXPECT_STREQ(tag.v2_track, "7/12");
    EXPECT_EQ(tag.track, 7);
    EXPECT_STREQ(tag.v2_year, "1994");
    EXPECT_EQ(tag.year, 1994);
    EXPECT_STREQ(tag.v2_genre, "(17)");
    EXPECT_EQ(tag.v2_genre_index(), 17);
    EXPECT_STREQ(tag.v2_comment, "Said");
}

TEST(Id3v2Reader, VersionsOtherThan2To4AreNotRead) {
    for (int version : {0, 1, 5, 255}) {
        std::string bytes = TagBuilder(3).text("TIT2", "Title").text("TYER", "2001").build();
        bytes[3] = static_cast<char>(version);
        TagRecord tag;
        std::strcpy(tag.v2_title, "old");
        tag.year = 1234;
        tag.track = 4;
        EXPECT_EQ(load(tag, bytes), 0) << version;
        EXPECT_STREQ(tag.v2_title, "");
        EXPECT_EQ(tag.year, 1234);
        EXPECT_EQ(tag.track, 4);
    }
}

TEST(Id3v2Reader, LastFrameOfATagWithoutPaddingIsRead) {
    // The whole tag counts, the 10 header bytes included: the last frame
    // ends exactly at the end, and even a tag of 22 bytes is read.
    const std::string small = TagBuilder(3).text("TIT2", "A").build();
    ASSERT_EQ(small.size(), 22u);
    TagRecord tag;
    EXPECT_EQ(load(tag, small), 1);
    EXPECT_STREQ(tag.v2_title, "A");

    const std::string bytes =
        TagBuilder(3).text("TIT2", "Title").text("TYER", "2001").text("TRCK", "3").build();
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_track, "3");
    EXPECT_EQ(tag.track, 3);
}

TEST(Id3v2Reader, FrameNeedsItsHeaderAndEncodingByteInRange) {
    // A frame header that ends exactly at the end of the range is not read.
    const std::string bytes = TagBuilder(3).text("TIT2", "Title").raw_frame("TPE1", 1, "").build();
    TagRecord tag;
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_artist, "");
    EXPECT_EQ(load(tag, bytes + "\0"s), 1);
    EXPECT_STREQ(tag.v2_artist, "") << "encoding byte only: an empty text";
    EXPECT_EQ(load(tag, bytes, 10), 0);
    EXPECT_EQ(load(tag, bytes, -7), 0);
}

TEST(Id3v2Reader, TextsAreCutAt30AndAtAZeroByte) {
    const std::string bytes = TagBuilder(3)
                                  .text("TIT2", std::string(40, 't'))
                                  .text("TPE1", "ab\0cd"s)
                                  .frame("TALB", "\0"s)
                                  .frame("TRCK", "\0"s)
                                  .build();
    TagRecord tag;
    tag.track = 9;
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_EQ(std::string(tag.v2_title), std::string(30, 't'));
    EXPECT_STREQ(tag.v2_artist, "ab");
    EXPECT_STREQ(tag.v2_album, "");
    EXPECT_EQ(tag.track, 0) << "an empty track text reads as 0";
}

TEST(Id3v2Reader, SizesAreUnsignedBigEndian) {
    const std::string title = "\0"s + std::string(199, 'x');
    const std::string bytes = TagBuilder(3).frame("TIT2", title).text("TPE1", "behind").build();
    ASSERT_EQ(static_cast<uint8_t>(bytes[10 + 7]), 200);
    TagRecord tag;
    load(tag, bytes);
    EXPECT_STREQ(tag.v2_artist, "behind");
}

TEST(Id3v2Reader, UnknownFramesAreSkippedAndDuplicatesKeepTheFirst) {
    TagRecord tag;
    EXPECT_EQ(load(tag, TagBuilder(3).text("TXXX", "x").text("PRIV", "y").build()), 0);

    const std::string bytes = TagBuilder(3)
                                  .text("TIT2", "first")
                                  .frame("APIC", std::string(300, '\xFF'))
                                  .text("TIT2", "second")
                                  .text("TYER", "x1999")
                                  .build();
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "first");
    EXPECT_EQ(tag.year, 0) << "a year without leading digits";
}

TEST(Id3v2Reader, WalkEndsAtABadFrameAndKeepsWhatCameBefore) {
    TagRecord tag;
    // Size bigger than what is left from the frame's header on.
    std::string bytes = TagBuilder(3).text("TIT2", "kept").raw_frame("TPE1", 1000, "\0x"s).build();
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "kept");
    EXPECT_STREQ(tag.v2_artist, "");

    // A zero byte inside an identifier.
    bytes = TagBuilder(3).text("TIT2", "kept").text("TP\0E"s, "x").text("TALB", "no").build();
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "kept");
    EXPECT_STREQ(tag.v2_album, "");
    // A frame of size 0 is passed over by its header, first or later.
    for (int version : {2, 3, 4}) {
        const char* ids[3][2] = {{"TXX", "TT2"}, {"TXXX", "TIT2"}, {"TXXX", "TIT2"}};
        bytes = TagBuilder(version).raw_frame(ids[version - 2][0], 0, "").text(ids[version - 2][1], "read on")
                    .raw_frame(ids[version - 2][0], 0, "").build(4);
        EXPECT_EQ(load(tag, bytes), 1) << version;
        EXPECT_STREQ(tag.v2_title, "read on") << version;
    }

    // A size that reaches past the end by no more than the frame header is
    // taken, its text cut at the end.
    bytes = TagBuilder(3).text("TIT2", "kept").raw_frame("TPE1", 14, "\0Cut"s).build();
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_artist, "Cut");
}

TEST(Id3v2Reader, Utf16TextIsDecodedTo8Bits) {
    const std::string be = "\x01\xFE\xFF"s + "\0T\0i\0t\0l\0e\0\0\0J"s;
    const std::string wide = "\x01\xFF\xFE" "a\0\x42\x04\xE9\0z\0"s;  // a, Cyrillic, e-acute, z
    const std::string bytes = TagBuilder(3)
                                  .frame("TIT2", "\x01"s + utf16le("Title"))
                                  .frame("TPE1", be)
                                  .frame("TALB", wide)
                                  .frame("TCON", "\x01"s + "R\0o\0c\0k\0"s)  // no mark: little-endian
                                  .frame("TRCK", "\x01"s + utf16le("12") + "x")  // an odd byte at the end
                                  .frame("TYER", "\x01"s + utf16le(std::string(35, '9')))
                                  .build();
    TagRecord tag;
    EXPECT_EQ(load(tag, bytes), 1);
    EXPECT_STREQ(tag.v2_title, "Title");
    EXPECT_STREQ(tag.v2_artist, "Title");
    EXPECT_STREQ(tag.v2_album, "a?\xE9z");
    EXPECT_STREQ(tag.v2_genre, "Rock");
    EXPECT_STREQ(tag.v2_track, "12");
    EXPECT_EQ(tag.track, 12);
    EXPECT_EQ(std::string(tag.v2_year), std::string(30, '9'));
    EXPECT_EQ(tag.year, 2147483647);
}

// The comment is the text behind language and description; one without a
// description wins over one with (a player's iTunNORM), the last of a kind
// over the first; a body cut short anywhere gives no text and no harm.
TEST(Id3v2Reader, CommentTakesTheTextBehindLanguageAndDescription) {
    const std::string user = "\0eng\0mine"s, player = "\0engiTunNORM\0 0000 1111"s;
    const struct {
        std::vector<std::string> bodies;
        const char* comment;
    } kCases[] = {
        {{"\0eng\0Hello"s}, "Hello"},
        {{"\0engdesc\0Hello"s}, "Hello"},
        {{"\x01" "eng"s + utf16le("d") + "\0\0"s + utf16le("Wide")}, "Wide"},
        // A description of odd length: its terminator is a whole code unit.
        {{"\x01" "eng\xFF\xFE\0\x01\0\0"s + utf16le("W")}, "W"},
        {{user, player}, "mine"},
        {{player, user}, "mine"},
        {{user, "\0eng\0later"s}, "later"},
        {{player, "\0engx\0other"s}, "other"},
        {{"\0"s}, ""}, {{"\0en"s}, ""}, {{"\0eng"s}, ""}, {{"\0engdesc"s}, ""}, {{"\x01" "eng\xFF"s}, ""},
    };
    TagRecord tag;  // one record: a comment left from the case before would show
    for (const auto& c : kCases) {
        TagBuilder builder(3);
        for (const std::string& body : c.bodies) builder.frame("COMM", body);
        EXPECT_EQ(load(tag, builder.build()), 1);
        EXPECT_STREQ(tag.v2_comment, c.comment) << c.bodies[0];
    }
}

TEST(Id3v2Reader, UnsynchronisationIsUndoneBeforeTheWalk) {
    // The title holds FF E0 (stored FF 00 E0) and FF at its end (stored FF
    // 00); the frame sizes count the bytes as they are after the undoing.
    TagBuilder plain(3);
    plain.text("TIT2", "a\xFF\xE0z\xFF").text("TPE1", "Artist");
    std::string frames = plain.build().substr(10);
    std::string stored;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        stored += frames[i];
        if (frames[i] == '\xFF') stored += '\0';
    }
    TagRecord tag;
    EXPECT_EQ(load(tag, TagBuilder(3, 0x80).bytes(stored).build()), 1);
    EXPECT_STREQ(tag.v2_title, "a\xFF\xE0z\xFF");
    EXPECT_STREQ(tag.v2_artist, "Artist");

    // Without the flag, the same bytes are taken as they stand.
    EXPECT_EQ(load(tag, TagBuilder(3).bytes(stored).build()), 1);
    EXPECT_STREQ(tag.v2_title, "a\xFF");
    EXPECT_STREQ(tag.v2_artist, "");
}

TEST(Id3v2Reader, Version23ExtendedHeaderIsSkipped) {
    const std::string extended = "\0\0\0\x06\0\0\0\0\0\0"s;
    TagRecord tag;
    EXPECT_EQ(load(tag, TagBuilder(3, 0x40).bytes(extended).text("TIT2", "Title").build()), 1);
    EXPECT_STREQ(tag.v2_title, "Title");
    // With its CRC, and under unsynchronisation.
    const std::string with_crc = "\0\0\0\x0A\x80\0\0\0\0\0\x12\x34\x56\x78"s;
    EXPECT_EQ(load(tag, TagBuilder(3, 0xC0).bytes(with_crc).text("TIT2", "T2").build()), 1);
    EXPECT_STREQ(tag.v2_title, "T2");
    // A size past the end reads nothing.
    EXPECT_EQ(load(tag, TagBuilder(3, 0x40).bytes("\0\0\x10\0"s).text("TIT2", "x").build()), 0);
    // Version 2.2 has no extended header: the walk starts behind the header.
    EXPECT_EQ(load(tag, TagBuilder(2, 0x40).text("TT2", "Two").build()), 1);
    EXPECT_STREQ(tag.v2_title, "Two");
}

using velkor::testing::deflated;
std::string be32(uint32_t n) { return velkor::testing::be(n, 4); }

// A frame with format flags (the two flag bytes of 2.3/2.4 headers; sizes
// below 128, the same in both).
std::string flagged_frame(const std::string& id, uint16_t flags, const std::string& body) {
    return velkor::testing::id3v2_frame(3, id, body, flags);
}

struct TitleCase {
    const char* what;
    std::string tag;
    const char* title;
};

TEST(Id3v2Reader, TitlesOfEveryVersionAndLayout) {
    const std::string title = "\0Compressed title"s;
    const TitleCase cases[] = {
        {"2.4 UTF-8, beyond Latin-1 as ?", TagBuilder(4).frame("TIT2", "\x03" "caf\xC3\xA9 \xD0\x96\xF0\x9F\x8E\xB5!"s).build(),
         "caf\xE9 ?" "?!"},
        {"2.4 UTF-8, a bad byte as ?", TagBuilder(4).frame("TIT2", "\x03" "a\xC3(b\0c"s).build(), "a?(b"},
        {"2.4 UTF-16BE", TagBuilder(4).frame("TIT2", "\x02\0B\0E\0\xE9"s).build(), "BE\xE9"},
        {"2.4 UTF-16, a surrogate pair is one ?", TagBuilder(4).frame("TIT2", "\x01\xFF\xFE" "a\0\x3C\xD8\xB5\xDFz\0"s).build(), "a?z"},
        {"2.4 several values: the first", TagBuilder(4).text("TIT2", "one\0two"s).build(), "one"},
        {"2.4 two frames: the first", TagBuilder(4).text("TIT2", "first").text("TIT2", "second").build(), "first"},
        {"2.4 extended header skipped", TagBuilder(4, 0x40).bytes("\0\0\0\x06\x01\0"s).text("TIT2", "behind").build(), "behind"},
        {"2.4 flag without the header", TagBuilder(4, 0x40).text("TIT2", "at ten").build(), "at ten"},
        {"2.4 flag, size not syncsafe", TagBuilder(4, 0x40).bytes("\0\0\0\x86\x01\0"s).text("TIT2", "x").build(), ""},
        {"2.4 frame unsynchronised", TagBuilder(4).bytes(flagged_frame("TIT2", 0x0002, "\0a\xFF\0\xE0z"s)).build(), "a\xFF\xE0z"},
        {"2.4 tag unsynchronised", TagBuilder(4, 0x80).bytes(flagged_frame("TIT2", 0, "\0a\xFF\0\xE0z"s)).build(), "a\xFF\xE0z"},
        {"2.4 grouped", TagBuilder(4).bytes(flagged_frame("TIT2", 0x0040, "\x07\0grouped"s)).build(), "grouped"},
        {"2.4 compressed", TagBuilder(4).bytes(flagged_frame("TIT2", 0x0009, be32(static_cast<uint32_t>(title.size())) + deflated(title))).build(),
         "Compressed title"},
        {"2.3 compressed", TagBuilder(3).bytes(flagged_frame("TIT2", 0x0080, be32(static_cast<uint32_t>(title.size())) + deflated(title))).build(),
         "Compressed title"},
        {"2.3 compressed, bad zlib", TagBuilder(3).bytes(flagged_frame("TIT2", 0x0080, be32(18) + "garbage"))
                                        .text("TIT2", "next").build(), "next"},
        {"2.3 encrypted is skipped", TagBuilder(3).bytes(flagged_frame("TIT2", 0x0040, "\x80\0secret"s))
                                         .text("TIT2", "plain").build(), "plain"},
        {"2.4 year from TDRC", TagBuilder(4).text("TDRC", "2004-05-01").text("TIT2", "").build(), ""},
    };
    for (const TitleCase& c : cases) {
        TagRecord tag;
        load(tag, c.tag);
        EXPECT_STREQ(tag.v2_title, c.title) << c.what;
    }
    TagRecord tag;
    EXPECT_EQ(load(tag, cases[std::size(cases) - 1].tag), 1);
    EXPECT_EQ(tag.year, 2004);
    EXPECT_STREQ(tag.v2_year, "2004-05-01");
}

// Every field written by the reader ends inside its 31 bytes.
void expect_terminated(const TagRecord& tag) {
    for (const TagRecord::Text* field : {&tag.v2_title, &tag.v2_album, &tag.v2_artist,
                                          &tag.v2_comment, &tag.v2_genre, &tag.v2_track,
                                          &tag.v2_year}) {
        EXPECT_LT(strnlen(*field, sizeof *field), sizeof *field);
    }
}

// What the reader writes, as one text for comparison.
std::string v2_fields(const TagRecord& tag) {
    std::string all;
    for (const TagRecord::Text* field : {&tag.v2_title, &tag.v2_album, &tag.v2_artist,
                                          &tag.v2_comment, &tag.v2_genre, &tag.v2_track,
                                          &tag.v2_year}) {
        all.append(*field, sizeof *field);
    }
    return all + std::to_string(tag.year) + "/" + std::to_string(tag.track);
}

TEST(Id3v2Reader, EveryTruncationIsSafeAndReadsOnlyItsRange) {
    TagBuilder builder(3, 0x80);
    builder.text("TIT2", "Long enough title \xFF\0 here"s)
        .frame("COMM", "\x01" "eng"s + utf16le("d") + "\0\0"s + utf16le("Comment"))
        .text("TRCK", "7/12")
        .frame("TPE1", "\x01"s + utf16le("Artist"));
    const std::string full = builder.build(8);
    TagRecord complete;
    ASSERT_EQ(load(complete, full), 1);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const std::string part = full.substr(0, n);
        TagRecord exact;
        load(exact, part);
        expect_terminated(exact);
        // A longer buffer with the same range gives the same result.
        TagRecord ranged;
        load(ranged, full, static_cast<int32_t>(n));
        EXPECT_EQ(v2_fields(exact), v2_fields(ranged)) << n;
        // The title is always a prefix of the complete one.
        EXPECT_EQ(std::string(complete.v2_title).rfind(exact.v2_title, 0), 0u) << n;
        // And a range larger than the buffer stays inside the buffer.
        TagRecord beyond;
        load(beyond, part, static_cast<int32_t>(n + 50));
    }
}

// A tag of plausible frames with random bodies, sizes that are sometimes
// wrong, and a few bytes changed at random afterwards.
std::string random_tag(std::mt19937& random) {
    static const char* const kIds[2][6] = {{"TT2", "TP1", "COM", "TRK", "TYE", "PIC"},
                                           {"TIT2", "TPE1", "COMM", "TRCK", "TYER", "APIC"}};
    const int version = 2 + static_cast<int>(random() % 2);
    const uint8_t flags_choice[] = {0, 0, 0x80, 0x40, 0xC0};
    TagBuilder builder(version, flags_choice[random() % 5]);
    for (int frames = random() % 7; frames > 0; --frames) {
        std::string body(random() % 40, '\0');
        for (char& c : body) c = static_cast<char>(random() % 3 == 0 ? random() : 'a' + random() % 26);
        if (!body.empty()) body[0] = static_cast<char>(random() % 3);
        uint32_t size = static_cast<uint32_t>(body.size());
        if (random() % 4 == 0) size += static_cast<uint32_t>(random() % 60) - 10;
        builder.raw_frame(kIds[version - 2][random() % 6], size, body);
    }
    std::string bytes = builder.build(random() % 12);
    for (int flips = random() % 4; flips > 0; --flips) {
        bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    return bytes;
}

TEST(Id3v2Reader, RandomTagsAndBytesAreSafe) {
    std::mt19937 random(20240607);
    int stored = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string bytes;
        if (round % 4 == 0) {
            bytes.resize(random() % 200);
            for (char& c : bytes) c = static_cast<char>(random());
        } else {
            bytes = random_tag(random);
        }
        const int32_t size = static_cast<int32_t>(bytes.size());
        const int32_t length = round % 3 == 0 ? static_cast<int32_t>(random() % (size + 40)) - 20 : size;
        TagRecord tag;
        const int32_t result = load(tag, bytes, length);
        EXPECT_TRUE(result == 0 || result == 1);
        stored += result;
        expect_terminated(tag);
    }
    EXPECT_GT(stored, 1000) << "most tags should hold a frame the reader keeps";
}

// Plain tags are read in runs, unsynchronised ones byte by byte: where no
// 0xFF byte leaves anything to undo, both must read alike, whatever the
// frames and their sizes hold.
TEST(Id3v2Reader, PlainTagsReadAlikeWithAndWithoutUnsynchronisation) {
    std::mt19937 random(20240921);
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = random_tag(random);
        if (bytes.size() < 10) continue;
        for (std::size_t i = 10; i < bytes.size(); ++i) {
            if (bytes[i] == '\xFF') bytes[i] = '\xFE';
        }
        const int32_t size = static_cast<int32_t>(bytes.size());
        const int32_t length = round % 3 == 0 ? static_cast<int32_t>(random() % (size + 40)) - 20 : size;
        bytes[5] = static_cast<char>(bytes[5] & 0x7F);
        TagRecord plain;
        const int32_t plain_result = load(plain, bytes, length);
        bytes[5] = static_cast<char>(bytes[5] | 0x80);
        TagRecord unsynchronised;
        const int32_t unsynchronised_result = load(unsynchronised, bytes, length);
        ASSERT_EQ(plain_result, unsynchronised_result) << round;
        ASSERT_EQ(v2_fields(plain), v2_fields(unsynchronised)) << round;
    }
}

}  // namespace
