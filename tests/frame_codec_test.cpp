// The frame model: each kind's codec writes values and reads the same
// values back (one round-trip table, for versions 2.2 to 2.4 where the kind
// exists there), and content built byte by byte as other taggers store it
// reads as they mean it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frames/frame_codec.h"
#include "frames/frame_genre.h"
#include "frames/frame_table.h"
#include "tag_bytes.h"

namespace {

using namespace std::string_literals;
using velkor::Id3v2FrameKind;
using velkor::Id3v2FrameValues;

using velkor::testing::span;
std::vector<uint8_t> bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

Id3v2FrameValues decoded(const char* id, const std::string& content, int version) {
    return velkor::decode_id3v2_frame(id, span(content), version, true);
}

// Every field a codec writes, compared at once so that a failure shows them all.
std::string described(const Id3v2FrameValues& v) {
    std::string out = std::string(velkor::id3v2_kind_name(v.kind)) + " [";
    for (const std::string& value : v.values) out += value + "|";
    out += "] d=" + v.description + " l=" + v.language + " o=" + v.owner + " e=" + v.element_id + " t=" + v.title +
           " c=";
    for (const std::string& child : v.children) out += child + ",";
    out += " p=" + std::to_string(v.picture_type) + " r=" + std::to_string(v.rating) +
           " n=" + std::to_string(v.play_count) + " s=" + std::to_string(v.start_ms) + "-" +
           std::to_string(v.end_ms) + "/" + std::to_string(v.start_offset) + "-" + std::to_string(v.end_offset) +
           " f=" + std::to_string(v.toc_flags) + " data=" + std::string(v.data.begin(), v.data.end());
    return out;
}

struct RoundTrip {
    const char* id;
    int version;
    Id3v2FrameValues (*make)();
};

Id3v2FrameValues with_kind(const char* id) {
    Id3v2FrameValues v;
    v.kind = velkor::id3v2_frame_kind(id);
    return v;
}

TEST(FrameCodec, EachKindReadsBackWhatItWrote) {
    const RoundTrip kCases[] = {
        {"TIT2", 4, [] { auto v = with_kind("TIT2"); v.values = {"Bl\xC3\xBC" "e", "\xE2\x82\xAC uro"}; return v; }},
        {"TIT2", 3, [] { auto v = with_kind("TIT2"); v.values = {"Caf\xC3\xA9"}; return v; }},
        {"TIT2", 3, [] { auto v = with_kind("TIT2"); v.values = {"\xF0\x9F\x8E\xB5 note"}; return v; }},
        {"TIT2", 2, [] { auto v = with_kind("TIT2"); v.values = {"Old"}; return v; }},
        {"TXXX", 4, [] { auto v = with_kind("TXXX"); v.description = "MusicBrainz Album Id"; v.values = {"a", "b"}; return v; }},
        {"TXXX", 3, [] { auto v = with_kind("TXXX"); v.description = "\xC3\xA9t\xC3\xA9"; v.values = {"x"}; return v; }},
        {"WOAR", 3, [] { auto v = with_kind("WOAR"); v.values = {"http://example.org/a"}; return v; }},
        {"WXXX", 4, [] { auto v = with_kind("WXXX"); v.description = "home"; v.values = {"http://x"}; return v; }},
        {"COMM", 3, [] { auto v = with_kind("COMM"); v.language = "deu"; v.description = "note"; v.values = {"\xC3\xBC"}; return v; }},
        {"COMM", 4, [] { auto v = with_kind("COMM"); v.language = "eng"; v.values = {"one", "two"}; return v; }},
        {"USLT", 4, [] { auto v = with_kind("USLT"); v.language = "eng"; v.values = {"line 1\nline 2"}; return v; }},
        {"APIC", 3, [] { auto v = with_kind("APIC"); v.values = {"image/png"}; v.picture_type = 3; v.description = "cover"; v.data = bytes("\x89PNG\0\xFF"s); return v; }},
        {"APIC", 2, [] { auto v = with_kind("APIC"); v.values = {"image/jpeg"}; v.picture_type = 4; v.data = bytes("\xFF\xD8"); return v; }},
        {"APIC", 2, [] { auto v = with_kind("APIC"); v.values = {"-->"}; v.picture_type = 0; v.data = bytes("http://x/a.jpg"); return v; }},
        {"POPM", 4, [] { auto v = with_kind("POPM"); v.owner = "a@b.c"; v.rating = 196; v.play_count = 0x123456789; return v; }},
        {"POPM", 3, [] { auto v = with_kind("POPM"); v.owner = "a@b.c"; v.rating = 1; return v; }},
        {"UFID", 4, [] { auto v = with_kind("UFID"); v.owner = "http://musicbrainz.org"; v.values = {"id-1"}; v.data = bytes("id-1"); return v; }},
        {"PRIV", 3, [] { auto v = with_kind("PRIV"); v.owner = "WM/Provider"; v.data = bytes("\0\1\2"s); return v; }},
        {"CHAP", 4, [] { auto v = with_kind("CHAP"); v.element_id = "ch0"; v.start_ms = 0; v.end_ms = 5000; v.start_offset = 0xFFFFFFFF; v.end_offset = 0xFFFFFFFF; v.title = "Intro"; return v; }},
        {"CHAP", 3, [] { auto v = with_kind("CHAP"); v.element_id = "ch1"; v.start_ms = 5000; v.end_ms = 9000; v.start_offset = 10; v.end_offset = 20; v.title = "\xC3\x9C"; return v; }},
        {"CTOC", 4, [] { auto v = with_kind("CTOC"); v.element_id = "toc"; v.toc_flags = 0x03; v.children = {"ch0", "ch1"}; v.title = "Chapters"; return v; }},
        {"TIPL", 4, [] { auto v = with_kind("TIPL"); v.values = {"producer", "A", "mix", "B"}; return v; }},
        {"IPLS", 3, [] { auto v = with_kind("IPLS"); v.values = {"guitar", "C\xC3\xA9", "drums", "D"}; return v; }},
        {"MVNM", 4, [] { auto v = with_kind("MVNM"); v.values = {"Allegro"}; return v; }},
        {"MVIN", 3, [] { auto v = with_kind("MVIN"); v.values = {"2/4"}; return v; }},
        {"GRP1", 3, [] { auto v = with_kind("GRP1"); v.values = {"Group"}; return v; }},
        {"PCNT", 4, [] { auto v = with_kind("PCNT"); v.play_count = 77; return v; }},
        {"GEOB", 3, [] { auto v = with_kind("GEOB"); v.data = bytes("\0any\0bytes"s); return v; }},
    };
    for (const RoundTrip& c : kCases) {
        const Id3v2FrameValues written = c.make();
        const std::vector<uint8_t> content = velkor::encode_id3v2_frame(written, c.version);
        const Id3v2FrameValues read = decoded(c.id, std::string(content.begin(), content.end()), c.version);
        Id3v2FrameValues want = written;
        if (c.version == 3 && want.kind == Id3v2FrameKind::kText && want.values.size() > 1) {
            want.values = {want.values[0] + "/" + want.values[1]};
        }
        if (std::string(c.id) == "PCNT") want.data = content;  // raw content, the counter's bytes
        EXPECT_EQ(described(read), described(want)) << c.id << " in 2." << c.version;
    }
}

// What each kind's writer chooses: the encoding, separators and id layout.
TEST(FrameCodec, WritesTheLayoutOfTheVersion) {
    Id3v2FrameValues text = with_kind("TPE1");
    text.values = {"A", "B"};
    EXPECT_EQ(velkor::encode_id3v2_frame(text, 4), bytes("\3A\0B"s));
    EXPECT_EQ(velkor::encode_id3v2_frame(text, 3), bytes("\0A/B"s));
    Id3v2FrameValues people = with_kind("IPLS");
    people.values = {"a", "b"};
    EXPECT_EQ(velkor::encode_id3v2_frame(people, 3), bytes("\0a\0b"s));
    text.values = {"\xE2\x82\xAC"};
    EXPECT_EQ(velkor::encode_id3v2_frame(text, 3), bytes("\1\xFF\xFE\xAC\x20"s));
    Id3v2FrameValues picture = with_kind("APIC");
    picture.values = {"image/jpeg"};
    picture.picture_type = 3;
    EXPECT_EQ(velkor::encode_id3v2_frame(picture, 2), bytes("\0JPG\3\0"s));
}

// Content as taggers store it, built by hand.
TEST(FrameCodec, ReadsWhatOtherTaggersStore) {
    struct Case {
        const char* id;
        int version;
        std::string content;
        std::vector<std::string> values;
    };
    const Case kCases[] = {
        // The second value has no byte-order mark: it is in the order of the first.
        {"TPE1", 4, "\1\xFE\xFF\0F\0o\0o\0\0\0B\0a\0r"s, {"Foo", "Bar"}},
        {"TPE1", 4, "\1\xFF\xFE" "F\0o\0o\0\0\0B\0a\0r\0"s, {"Foo", "Bar"}},
        {"TXXX", 4, "\1\xFE\xFF\0d\0\0\0v"s, {"v"}},
        // Version 2.2 image formats become MIME types; "-->" is a link.
        {"APIC", 2, "\0jpg\3\0data"s, {"image/jpeg"}},
        {"APIC", 2, "\0PNG\3\0data"s, {"image/png"}},
        {"APIC", 2, "\0GIF\3\0data"s, {"image/gif"}},
        {"APIC", 2, "\0-->\0\0http://x"s, {"-->"}},
        {"IPLS", 3, "\0producer\0A\0engineer\0B\0"s, {"producer", "A", "engineer", "B"}},
        {"MVIN", 4, "\3" "1/3"s, {"1/3"}},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(decoded(c.id, c.content, c.version).values, c.values) << c.id << " " << c.content;
    }
    EXPECT_EQ(decoded("IPLS", "\0a\0b"s, 3).kind, Id3v2FrameKind::kPeople);
    EXPECT_EQ(decoded("TXXX", "\1\xFE\xFF\0d\0\0\0v"s, 4).description, "d");
}

TEST(FrameCodec, GenreReferencesResolveToNames) {
    struct Case {
        std::vector<std::string> values;
        std::vector<std::string> genres;
    };
    const Case kCases[] = {
        {{"(00)(02)"}, {"Blues", "Country"}},
        {{"(4)Rock"}, {"Disco", "Rock"}},
        {{"(22)Death Metal"}, {"Death Metal"}},
        {{"(RX)(3)(CR)"}, {"Remix", "Dance", "Cover"}},
        {{"(9)(138)Viking Metal"}, {"Metal", "Black Metal", "Viking Metal"}},
        {{"(0)((A genre)"}, {"Blues", "(A genre)"}},
        {{"51", "39", "Power Noise"}, {"Techno-Industrial", "Noise", "Power Noise"}},
        {{"(999)x"}, {"(999)x"}},
        {{"Rock", "", "Rock"}, {"Rock"}},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(velkor::resolve_genres(c.values), c.genres) << c.values[0];
        std::string content = "\3";
        for (const std::string& value : c.values) content += value + '\0';
        EXPECT_EQ(decoded("TCON", content, 4).genres, c.genres) << c.values[0];
    }
    EXPECT_EQ(velkor::resolve_genre("(00)(02); (4)Rock"s), "Blues; Country; Disco; Rock");
}

// One table for every reader: ids of each version, names, kinds.
TEST(FrameTable, KnowsEachFrameByEveryVersionsId) {
    struct Case {
        const char* id;
        int version;
        const char* key;
        Id3v2FrameKind kind;
        const char* name;
    };
    const Case kCases[] = {
        {"TT2", 2, "TIT2", Id3v2FrameKind::kText, "Title"},
        {"PIC", 2, "APIC", Id3v2FrameKind::kPicture, "Attached picture"},
        {"GP1", 2, "GRP1", Id3v2FrameKind::kText, "Grouping"},
        {"MVN", 2, "MVNM", Id3v2FrameKind::kText, "Movement name"},
        {"MVI", 2, "MVIN", Id3v2FrameKind::kText, "Movement number"},
        {"IPL", 2, "IPLS", Id3v2FrameKind::kPeople, "Involved people"},
        {"TYER", 4, "TYER", Id3v2FrameKind::kText, "Year"},
        {"TMCL", 4, "TMCL", Id3v2FrameKind::kPeople, "Musician credits"},
    };
    for (const Case& c : kCases) {
        const velkor::Id3v2FrameRow* row = velkor::id3v2_frame_row(c.id, c.version);
        ASSERT_NE(row, nullptr) << c.id;
        EXPECT_STREQ(row->key(), c.key);
        EXPECT_EQ(row->kind, c.kind) << c.id;
        EXPECT_STREQ(row->name, c.name);
    }
    EXPECT_EQ(velkor::id3v2_frame_row("XYZ", 2), nullptr);
    EXPECT_EQ(velkor::id3v2_frame_kind("TZZZ"), Id3v2FrameKind::kText);
    EXPECT_EQ(velkor::id3v2_frame_kind("WZZZ"), Id3v2FrameKind::kUrl);
    EXPECT_STREQ(velkor::id3v2_v24_id("ZZZ"), "");
}

}  // namespace
