// velkor's own interface: ID3v2 versions and encodings byte by byte, the
// stream facts of the sample files, the sized records, the ID3v1 write and
// the statuses that say why something failed.
#include <gtest/gtest.h>
#include <zlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::testing::Bytes;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::put_lone_header;
using velkor::testing::TempDir;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes syncsafe(uint32_t n) { return {uint8_t(n >> 21 & 0x7F), uint8_t(n >> 14 & 0x7F), uint8_t(n >> 7 & 0x7F), uint8_t(n & 0x7F)}; }
Bytes be32(uint32_t n) { return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)}; }

// A frame of version 2, 3 or 4, with its flags.
Bytes frame(int version, const std::string& id, const Bytes& body, uint16_t flags = 0) {
    if (version == 2) return text(id) + Bytes{0, uint8_t(body.size() >> 8), uint8_t(body.size())} + body;
    return text(id) + (version == 4 ? syncsafe(uint32_t(body.size())) : be32(uint32_t(body.size()))) +
           Bytes{uint8_t(flags >> 8), uint8_t(flags)} + body;
}

Bytes tag(int version, const Bytes& frames, uint8_t flags = 0) {
    return Bytes{'I', 'D', '3', uint8_t(version), 0, flags} + syncsafe(uint32_t(frames.size() + 16)) + frames +
           Bytes(16, 0);
}

// A file of the tag and a short stream behind it.
std::string file_with(const TempDir& dir, const Bytes& head) {
    Bytes bytes = head;
    put_header(bytes, bytes.size());
    bytes.resize(bytes.size() + 417);
    return dir.write("tagged.mp3", bytes);
}

struct Opened {
    velkor_file* file = nullptr;
    int32_t status;
    explicit Opened(const std::string& path, uint32_t options = 0) : status(velkor_open(path.c_str(), options, &file)) {}
    ~Opened() { velkor_close(file); }
    std::string text(int32_t field) const { return velkor_text(file, field); }
    velkor_file_facts facts() const {
        velkor_file_facts f;
        f.size = sizeof f;
        EXPECT_EQ(velkor_facts(file, &f), VELKOR_OK);
        return f;
    }
};

const Bytes kUtf16Title = Bytes{1, 0xFF, 0xFE, 'F', 0, 'i', 0, 'n', 0, ' ', 0, 0x14, 0x20, ' ', 0, 0x3D, 0xD8, 0x00, 0xDE};

struct TagCase {
    const char* name;
    Bytes head;
    int32_t field;
    const char* expected;
};

const TagCase kTagCases[] = {
    {"Latin1", tag(3, frame(3, "TIT2", Bytes{0, 'C', 'a', 'f', 0xE9})), VELKOR_ID3V2_TITLE, "Caf\u00e9"},
    {"Utf16WithBomAndSurrogates", tag(3, frame(3, "TIT2", kUtf16Title)), VELKOR_ID3V2_TITLE, "Fin \u2014 \U0001F600"},
    {"Utf16BigEndian", tag(4, frame(4, "TPE1", Bytes{2, 0x30, 0x42, 0x30, 0x44})), VELKOR_ID3V2_ARTIST, "\u3042\u3044"},
    {"Utf8SeveralValues", tag(4, frame(4, "TPE1", Bytes{3} + text("One") + Bytes{0} + text("Two") + Bytes{0})),
     VELKOR_ID3V2_ARTIST, "One; Two"},
    {"Utf8InvalidBytesReplaced", tag(4, frame(4, "TALB", Bytes{3, 'a', 0xC3, 'b'})), VELKOR_ID3V2_ALBUM, "a\uFFFDb"},
    {"TitleLongerThan30", tag(3, frame(3, "TIT2", Bytes{0} + text(std::string(200, 'x')))), VELKOR_ID3V2_TITLE,
     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
    {"V22Frames", tag(2, frame(2, "TP2", Bytes{0} + text("Band")) + frame(2, "TCM", Bytes{0} + text("Bach"))),
     VELKOR_ID3V2_ALBUM_ARTIST, "Band"},
    {"RecordingTimeIsTheYear", tag(4, frame(4, "TDRC", Bytes{3} + text("2004-05-01"))), VELKOR_ID3V2_YEAR, "2004-05-01"},
    {"DateFromYearDayMonthAndTime",
     tag(3, frame(3, "TIME", Bytes{0} + text("1230")) + frame(3, "TYER", Bytes{0} + text("2004")) +
                frame(3, "TDAT", Bytes{0} + text("0105"))),
     VELKOR_ID3V2_DATE, "2004-05-01T12:30"},
    {"DateFromTheRecordingTime", tag(4, frame(4, "TDRC", Bytes{3} + text("2004-05"))), VELKOR_ID3V2_DATE, "2004-05"},
    {"GenreReferences", tag(3, frame(3, "TCON", Bytes{0} + text("(17)(18)Acid Rock"))), VELKOR_ID3V2_GENRE,
     "Rock; Techno; Acid Rock"},
    {"GenreNumbersInV24", tag(4, frame(4, "TCON", Bytes{3} + text("17") + Bytes{0} + text("Jazz"))), VELKOR_ID3V2_GENRE,
     "Rock; Jazz"},
    {"CommentWithoutDescriptionWins",
     tag(3, frame(3, "COMM", Bytes{0} + text("engiTunNORM") + Bytes{0} + text("0001")) +
                frame(3, "COMM", Bytes{0} + text("eng") + Bytes{0} + text("mine"))),
     VELKOR_ID3V2_COMMENT, "mine"},
    // Per-frame unsynchronisation with a data length indicator, grouping.
    {"V24FrameUnsyncAndDataLength",
     tag(4, frame(4, "TPOS", Bytes{0x07} + syncsafe(5) + Bytes{0, '1', 0xFF, 0x00, '2'}, 0x0043)), VELKOR_ID3V2_DISC,
     "1\u00ff2"},
    // The tag-wide unsynchronisation of 2.3.
    {"V23TagUnsync", tag(3, frame(3, "TCOM", Bytes{0, 0xFF, 0x00, 'z'}), 0x80), VELKOR_ID3V2_COMPOSER, "\u00ffz"},
    // Sizes some taggers wrote as plain numbers in 2.4 (here 200: 00 00 00 C8).
    {"V24PlainSize",
     tag(4, text("TIT2") + be32(200) + Bytes{0, 0, 0} + text(std::string(199, 'p')) + frame(4, "TPE1", Bytes{3, 'A'})),
     VELKOR_ID3V2_ARTIST, "A"},
    {"V24ExtendedHeaderAndFooter",
     Bytes{'I', 'D', '3', 4, 0, 0x50} + syncsafe(6 + 10 + 10) + syncsafe(6) + Bytes{1, 0} +
         frame(4, "TIT2", Bytes{3} + text("Foot")) + Bytes(10, 0) + Bytes{'3', 'D', 'I', 4, 0, 0x50} + syncsafe(26),
     VELKOR_ID3V2_TITLE, "Foot"},
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class Id3v2Texts : public ::testing::TestWithParam<TagCase> {};

TEST_P(Id3v2Texts, ReadWholeInUtf8) {
    TempDir dir;
    const Opened opened(file_with(dir, GetParam().head));
    ASSERT_EQ(opened.status, VELKOR_OK);
    EXPECT_EQ(opened.text(GetParam().field), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Id3v2Texts, ::testing::ValuesIn(kTagCases),
                         [](const auto& info) { return std::string(info.param.name); });

// 70 compressed frames of 1 MiB of text each, from a file of some 100 KB:
// the handle keeps 64 MiB of their texts, the rest give their figures only.
TEST(FileApi, FrameTextsStayWithinTheHandlesBudget) {
    const std::string text(1024 * 1024, 'a');
    Bytes zlib(compressBound(uLong(text.size() + 1)));
    uLongf zlib_size = uLongf(zlib.size());
    const std::string body = '\0' + text;
    compress(zlib.data(), &zlib_size, reinterpret_cast<const Bytef*>(body.data()), uLong(body.size()));
    zlib.resize(zlib_size);
    Bytes frames;
    for (int i = 0; i < 70; ++i) frames = frames + frame(4, "TIT2", syncsafe(uint32_t(body.size())) + zlib, 0x0009);
    TempDir dir;
    const Opened opened(file_with(dir, tag(4, frames)));
    ASSERT_EQ(opened.status, VELKOR_OK);
    ASSERT_EQ(velkor_frame_count(opened.file), 70);
    for (int32_t i = 0; i < 70; ++i) {
        velkor_frame_info info = {};
        info.size = sizeof info;
        ASSERT_EQ(velkor_frame(opened.file, i, &info), VELKOR_OK);
        EXPECT_EQ(info.body_size, int64_t(body.size()));
        EXPECT_EQ(info.value_count, i < 64 ? 1 : 0) << i;
        EXPECT_EQ(info.truncated, i < 64 ? 0 : 1) << i;
    }
    EXPECT_EQ(std::string(velkor_frame_text(opened.file, 63, VELKOR_FRAME_VALUE, 0)), text);
    EXPECT_EQ(velkor_frame_text(opened.file, 64, VELKOR_FRAME_VALUE, 0), nullptr);
}

TEST(FileApi, PicturesAreDescribedAndReadOnDemand) {
    TempDir dir;
    const Bytes data = Bytes{0x89, 'P', 'N', 'G', 0xFF, 0x00, 0xFF} + Bytes(300000, 0xAB);
    const Bytes apic = Bytes{3} + text("image/png") + Bytes{0, 3} + text("Front") + Bytes{0} + data;
    const Bytes pic22 = Bytes{0} + text("JPG") + Bytes{4} + text("Back") + Bytes{0} + Bytes(10, 1);
    const Opened v24(file_with(dir, tag(4, frame(4, "APIC", apic) + frame(4, "TIT2", Bytes{3, 'T'}))));
    ASSERT_EQ(v24.status, VELKOR_OK);
    EXPECT_EQ(v24.facts().picture_count, 1);
    EXPECT_EQ(v24.text(VELKOR_ID3V2_TITLE), "T");
    velkor_picture_info picture;
    picture.size = sizeof picture;
    ASSERT_EQ(velkor_picture(v24.file, 0, &picture), VELKOR_OK);
    EXPECT_EQ(picture.type, 3);
    EXPECT_EQ(picture.bytes, static_cast<int32_t>(data.size()));
    EXPECT_STREQ(velkor_picture_text(v24.file, 0, VELKOR_PICTURE_MIME), "image/png");
    EXPECT_STREQ(velkor_picture_text(v24.file, 0, VELKOR_PICTURE_DESCRIPTION), "Front");
    Bytes read(data.size());
    EXPECT_EQ(velkor_read_picture(v24.file, 0, read.data(), static_cast<int32_t>(read.size()) - 1), VELKOR_ERROR_ARGUMENT);
    ASSERT_EQ(velkor_read_picture(v24.file, 0, read.data(), static_cast<int32_t>(read.size())), VELKOR_OK);
    EXPECT_EQ(read, data);
    EXPECT_EQ(velkor_picture(v24.file, 1, &picture), VELKOR_ERROR_ARGUMENT);

    const Opened v22(file_with(dir, tag(2, frame(2, "PIC", pic22))));
    ASSERT_EQ(velkor_picture(v22.file, 0, &picture), VELKOR_OK);
    EXPECT_EQ(picture.type, 4);
    EXPECT_EQ(picture.bytes, 10);
    EXPECT_STREQ(velkor_picture_text(v22.file, 0, VELKOR_PICTURE_MIME), "image/jpeg");

    // The cover's frame is described from what the open read: no second
    // open, so the file may be gone.
    const std::string path = file_with(dir, tag(4, frame(4, "APIC", apic)));
    const Opened gone(path);
    std::remove(path.c_str());
    velkor_frame_info info = {};
    info.size = sizeof info;
    ASSERT_EQ(velkor_frame(gone.file, 0, &info), VELKOR_OK);
    EXPECT_EQ(info.kind, VELKOR_FRAME_PICTURE);
    EXPECT_EQ(info.body_size, static_cast<int32_t>(apic.size()));
    EXPECT_STREQ(velkor_frame_text(gone.file, 0, VELKOR_FRAME_DESCRIPTION, 0), "Front");
    EXPECT_STREQ(velkor_frame_text(gone.file, 0, VELKOR_FRAME_VALUE, 0), "image/png");
}

std::string sample(const char* name) { return std::string(VELKOR_SAMPLES_DIR) + "/" + name; }

// A handle from memory gives what the file's gives, and reads its frames and
// pictures from the tag's bytes it keeps, the caller's bytes gone; what lies
// beyond them is a status, not a read of some file.
TEST(FileApi, OpenMemoryKeepsTheTagForFramesAndPictures) {
    TempDir dir;
    const Bytes data = Bytes(5000, 0x5A);
    const Bytes apic = Bytes{0} + text("image/png") + Bytes{0, 3, 0} + data;
    const std::string path = file_with(dir, tag(3, frame(3, "TIT2", Bytes{0, 'T'}) + frame(3, "APIC", apic)));
    std::ifstream in(path, std::ios::binary);
    auto* bytes = new Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Bytes ape = Bytes{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};  // no audio, no tag
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open_memory(bytes->data(), bytes->size(), 0, &file), VELKOR_OK);
    delete bytes;
    const Opened by_path(path);
    velkor_file_facts facts = {}, expected = {};
    facts.size = expected.size = sizeof facts;
    velkor_facts(file, &facts);
    velkor_facts(by_path.file, &expected);
    EXPECT_EQ(std::memcmp(&facts, &expected, sizeof facts), 0);
    velkor_frame_info info = {};
    info.size = sizeof info;
    ASSERT_EQ(velkor_frame(file, 1, &info), VELKOR_OK);
    EXPECT_STREQ(velkor_frame_text(file, 1, VELKOR_FRAME_VALUE, 0), "image/png");
    Bytes read(data.size());
    ASSERT_EQ(velkor_read_picture(file, 0, read.data(), static_cast<int32_t>(read.size())), VELKOR_OK);
    EXPECT_EQ(read, data);
    velkor_close(file);

    EXPECT_EQ(velkor_open_memory(nullptr, 1, 0, &file), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_open_memory(ape.data(), ape.size(), 0, &file), VELKOR_ERROR_NO_AUDIO);
    EXPECT_EQ(file, nullptr);
}

TEST(FileApi, SampleFiles) {
    struct Expected {
        const char* name;
        int32_t version, rate, vbr_header, exact, id3v1, id3v2;
        int64_t frames, duration_ms, gapless_ms;
        const char* title;
    };
    const Expected cases[] = {
        {"cbr_id3v11.mp3", 10, 32000, VELKOR_VBR_NONE, 0, 11, 0, 196, 7056, -1, ""},
        {"vbr_xing.mp3", 10, 44100, VELKOR_VBR_XING, 1, 0, 0, 231, 6034, 6000, ""},
        {"mpeg2_id3v10.mp3", 20, 22050, VELKOR_VBR_NONE, 0, 10, 0, 347, 9064, -1, ""},
        {"id3v23_utf16.mp3", 10, 44100, VELKOR_VBR_NONE, 0, 0, 3, 193, 5042, -1, "Caf\u00e9 au Lait"},
        {"id3v24_utf8_cover.mp3", 25, 11025, VELKOR_VBR_NONE, 0, 0, 4, 156, 8150, -1, "\u0141\u00f3d\u017a Nocturne"},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.name);
        const Opened opened(sample(e.name));
        ASSERT_EQ(opened.status, VELKOR_OK);
        const velkor_file_facts f = opened.facts();
        EXPECT_EQ(f.mpeg_version, e.version);
        EXPECT_EQ(f.sampling_rate_hz, e.rate);
        EXPECT_EQ(f.vbr_header, e.vbr_header);
        EXPECT_EQ(f.frames_exact, e.exact);
        EXPECT_EQ(f.id3v1, e.id3v1);
        EXPECT_EQ(f.id3v2_version, e.id3v2);
        EXPECT_EQ(f.frames, e.frames);
        EXPECT_EQ(f.duration_ms, e.duration_ms);
        EXPECT_EQ(f.gapless_duration_ms, e.gapless_ms);
        EXPECT_EQ(opened.text(VELKOR_ID3V2_TITLE), e.title);
        // Counting every frame: exact, and no fewer than the estimate's stream holds.
        const Opened counted(sample(e.name), VELKOR_OPEN_COUNT_FRAMES);
        const velkor_file_facts c = counted.facts();
        EXPECT_EQ(c.frames_exact, 1);
        if (e.exact) {
            EXPECT_EQ(c.frames, e.frames);
        }
    }
    const Opened lame(sample("vbr_xing.mp3"));
    EXPECT_EQ(lame.text(VELKOR_STREAM_ENCODER), "LAME3.100");
    EXPECT_EQ(lame.facts().encoder_delay, 576);
}

TEST(FileApi, RecordsAndTextsFitTheCallersRoom) {
    const Opened opened(sample("id3v23_utf16.mp3"));
    // A caller that knows only the first fields gets only those.
    velkor_file_facts facts;
    std::memset(&facts, 0x5A, sizeof facts);
    facts.size = offsetof(velkor_file_facts, layer);
    ASSERT_EQ(velkor_facts(opened.file, &facts), VELKOR_OK);
    EXPECT_EQ(facts.mpeg_version, 10);
    EXPECT_EQ(facts.layer, 0x5A5A5A5A);
    // Cut at a character's boundary; the needed room is told.
    char room[5];
    EXPECT_EQ(velkor_get_text(opened.file, VELKOR_ID3V2_TITLE, room, sizeof room), 14);
    EXPECT_STREQ(room, "Caf");
    EXPECT_EQ(velkor_get_text(opened.file, 999, room, sizeof room), 0);
    EXPECT_EQ(velkor_text(opened.file, 999), nullptr);
    EXPECT_EQ(velkor_text(nullptr, VELKOR_ID3V2_TITLE), nullptr);
}

// Playing times as text, and the room they need, cut or whole.
TEST(FileApi, DurationTexts) {
    const struct {
        int64_t seconds;
        const char* text;
    } times[] = {{-5, "00:00"},       {0, "00:00"},          {59, "00:59"},
                 {3599, "59:59"},     {3600, "01:00:00"},    {360000, "100:00:00"},
                 {INT64_MAX, "2562047788015215:30:07"}};
    for (const auto& t : times) {
        char text[VELKOR_DURATION_TEXT_SIZE];
        EXPECT_EQ(velkor_duration_text(t.seconds, text, sizeof text), static_cast<int32_t>(std::strlen(t.text)) + 1);
        EXPECT_STREQ(text, t.text) << t.seconds;
    }
    char room[4] = "xyz";
    EXPECT_EQ(velkor_duration_text(3600, room, sizeof room), 9);
    EXPECT_STREQ(room, "01:");
    EXPECT_EQ(velkor_duration_text(3600, nullptr, 0), 9);
}

TEST(FileApi, StatusesSayWhy) {
    TempDir dir;
    velkor_file* file = reinterpret_cast<velkor_file*>(1);
    EXPECT_EQ(velkor_open(dir.path("missing.mp3").c_str(), 0, &file), VELKOR_ERROR_NOT_FOUND);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(velkor_open(dir.path("").c_str(), 0, &file), VELKOR_ERROR_NOT_REGULAR);
    EXPECT_EQ(velkor_open(dir.write("zeros.mp3", Bytes(5000, 0)).c_str(), 0, &file), VELKOR_ERROR_NO_AUDIO);
    EXPECT_EQ(velkor_open(sample("vbr_xing.mp3").c_str(), 0x80, &file), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_open(nullptr, 0, &file), VELKOR_ERROR_ARGUMENT);
    if (geteuid() != 0) {
        const std::string locked = dir.write("locked.mp3", Bytes(10, 0));
        chmod(locked.c_str(), 0);
        EXPECT_EQ(velkor_open(locked.c_str(), 0, &file), VELKOR_ERROR_NOT_PERMITTED);
    }
    EXPECT_STREQ(velkor_status_text(VELKOR_ERROR_READ_ONLY), "read-only file system");
}

// What is not the analysed file, or not a file: a write to a device or a
// FIFO, a picture read from a file replaced or changed since, and a "frame"
// that is the ID3v1 tag's bytes.
TEST(FileApi, OnlyTheFileItselfIsReadOrWritten) {
    TempDir dir;
    const std::string fifo = dir.path("pipe.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    velkor_id3v1_fields edit = {};
    edit.size = sizeof edit;
    edit.fields = VELKOR_FIELD_TITLE;
    edit.title = "X";
    for (const std::string& path : {std::string("/dev/null"), fifo, dir.path("")}) {
        EXPECT_EQ(velkor_write_id3v1(path.c_str(), &edit), VELKOR_ERROR_NOT_REGULAR) << path;
    }

    Bytes in_tag(21, 0);
    put(in_tag, 21, velkor::testing::id3v1("", "", "", "", "", 0, 255));
    put_lone_header(in_tag, 21 + 100);
    velkor_file* file = nullptr;
    EXPECT_EQ(velkor_open(dir.write("149.mp3", in_tag).c_str(), 0, &file), VELKOR_ERROR_NO_AUDIO);

    const Bytes apic = Bytes{0} + text("image/png") + Bytes{0, 3, 0} + Bytes(1000, 0xAB);
    const std::string path = file_with(dir, tag(3, frame(3, "APIC", apic)));
    const Bytes bytes = [&] {
        std::ifstream in(path, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    struct {
        const char* change;
        void (*make)(const TempDir&, const std::string&, const Bytes&);
        int32_t status;
    } const rows[] = {
        {"none", [](const TempDir&, const std::string&, const Bytes&) {}, VELKOR_OK},
        {"replaced by a copy", [](const TempDir& d, const std::string& p, const Bytes& b) {
             std::rename(d.write("copy.mp3", b).c_str(), p.c_str()); }, VELKOR_ERROR_CHANGED},
        {"grown", [](const TempDir&, const std::string& p, const Bytes&) {
             std::ofstream(p, std::ios::binary | std::ios::app) << 'x'; }, VELKOR_ERROR_CHANGED},
    };
    for (const auto& row : rows) {
        dir.write("tagged.mp3", bytes);
        const Opened opened(path);
        ASSERT_EQ(opened.status, VELKOR_OK);
        row.make(dir, path, bytes);
        Bytes read(1000);
        EXPECT_EQ(velkor_read_picture(opened.file, 0, read.data(), 1000), row.status) << row.change;
    }
    EXPECT_STREQ(velkor_status_text(VELKOR_ERROR_CHANGED), "the file changed since it was opened");
}

TEST(FileApi, WriteId3v1KeepsWhatIsNotGiven) {
    TempDir dir;
    std::ifstream in(sample("mpeg2_id3v10.mp3"), std::ios::binary);
    const Bytes original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = dir.write("song.mp3", original);

    velkor_id3v1_fields edit = {};
    edit.size = sizeof edit;
    edit.fields = VELKOR_FIELD_TITLE | VELKOR_FIELD_TRACK;
    edit.title = "\u0141\u00f3d\u017a";  // beyond Latin-1: '?'
    edit.track = 9;
    ASSERT_EQ(velkor_write_id3v1(path.c_str(), &edit), VELKOR_OK);
    Opened after(path);
    EXPECT_EQ(after.text(VELKOR_ID3V1_TITLE), "?\u00f3d?");
    EXPECT_EQ(after.text(VELKOR_ID3V1_ARTIST), "Velkor Samples");
    EXPECT_EQ(after.text(VELKOR_ID3V1_YEAR), "1999");
    EXPECT_EQ(after.facts().id3v1_track, 9);
    EXPECT_EQ(after.facts().file_size, static_cast<int64_t>(original.size()));

    // A file without a tag gets one; out-of-range values and missing files are refused.
    const std::string bare = file_with(dir, {});
    edit.fields = VELKOR_FIELD_YEAR;
    edit.year = 2024;
    ASSERT_EQ(velkor_write_id3v1(bare.c_str(), &edit), VELKOR_OK);
    EXPECT_EQ(Opened(bare).text(VELKOR_ID3V1_YEAR), "2024");
    edit.year = 10000;
    EXPECT_EQ(velkor_write_id3v1(bare.c_str(), &edit), VELKOR_ERROR_ARGUMENT);
    edit.year = 1;
    EXPECT_EQ(velkor_write_id3v1(dir.path("gone.mp3").c_str(), &edit), VELKOR_ERROR_NOT_FOUND);
    EXPECT_EQ(velkor_genre_number("rock"), 17);
    EXPECT_EQ(velkor_genre_number("Polka Punk Fusion"), -1000);
    EXPECT_STREQ(velkor_genre_name(0), "Blues");
    // Beyond ID3v1's 126: the numbers players added, which ID3v2 tags use.
    EXPECT_STREQ(velkor_genre_name(126), "Goa");
    EXPECT_STREQ(velkor_genre_name(191), "Psybient");
    EXPECT_EQ(velkor_genre_number("drum & bass"), 127);
    EXPECT_EQ(velkor_genre_name(192), nullptr);
}

// A record from an older velkor.h ends before the fields added since: those
// are not written, whatever the bytes behind the record and its flags say.
TEST(FileApi, WriteId3v1TakesAShorterRecord) {
    TempDir dir;
    std::ifstream in(sample("mpeg2_id3v10.mp3"), std::ios::binary);
    const std::string path =
        dir.write("song.mp3", Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    const int32_t genre_before = Opened(path).facts().id3v1_genre;

    velkor_id3v1_fields edit = {};
    edit.size = offsetof(velkor_id3v1_fields, year);  // the texts, not the numbers
    edit.fields = VELKOR_FIELD_TITLE | VELKOR_FIELD_YEAR | VELKOR_FIELD_GENRE;
    edit.title = "Older caller";
    edit.year = 10000;  // out of range, but past the record
    edit.genre = 17;
    ASSERT_EQ(velkor_write_id3v1(path.c_str(), &edit), VELKOR_OK);
    Opened after(path);
    EXPECT_EQ(after.text(VELKOR_ID3V1_TITLE), "Older caller");
    EXPECT_EQ(after.text(VELKOR_ID3V1_YEAR), "1999");
    EXPECT_EQ(after.facts().id3v1_genre, genre_before);

    // Too short to name a field; longer than today's: read as far as known.
    edit.size = sizeof(uint32_t);
    EXPECT_EQ(velkor_write_id3v1(path.c_str(), &edit), VELKOR_ERROR_ARGUMENT);
    struct {
        velkor_id3v1_fields fields;
        int32_t newer;
    } longer = {};
    longer.fields = edit;
    longer.fields.size = sizeof longer;
    longer.fields.year = 2001;
    longer.newer = -1;
    ASSERT_EQ(velkor_write_id3v1(path.c_str(), &longer.fields), VELKOR_OK);
    EXPECT_EQ(Opened(path).text(VELKOR_ID3V1_YEAR), "2001");
}

// A Xing count of 2^31 or more is no count: the facts, the report and the
// record all show an estimate from the first frame, none as exact (the
// facts' to the nearest frame, the exports' cut).
TEST(FileApi, ImpossibleXingCountIsAnEstimateEverywhere) {
    TempDir dir;
    Bytes bytes = velkor::testing::frame_file(20 * 417);
    put(bytes, 36, velkor::testing::xing(1, 0xFFFFFFF0u));
    const std::string path = dir.write("huge_count.mp3", bytes);
    const Opened opened(path);
    ASSERT_EQ(opened.status, VELKOR_OK);
    const velkor_file_facts f = opened.facts();
    EXPECT_EQ(f.vbr_header, VELKOR_VBR_XING);
    EXPECT_EQ(f.frames_exact, 0);
    EXPECT_EQ(f.bitrate_varies, 0);
    EXPECT_EQ(f.frames, 20);
    EXPECT_EQ(f.bitrate_kbps, 128);
    EXPECT_EQ(f.duration_ms, (20 * 1152 * 1000 + 22050) / 44100);

    char report[VELKOR_REPORT_SIZE];
    ASSERT_EQ(VkOpenMp3File(path.c_str(), report, 0), 1);
    EXPECT_NE(std::string(report).find("<sep>128 kbps<sep>44100 Hz<sep>00:00<sep>"), std::string::npos) << report;
    EXPECT_NE(std::string(report).find("<sep>19<sep>n/a<sep>n/a<sep>"), std::string::npos) << report;
    velkor_info_record record;
    VkGetSonvexStruct(path.c_str(), &record);
    EXPECT_STREQ(record.frames, "19");
    EXPECT_STREQ(record.bitrate, "128");
}

}  // namespace

namespace {

// velkor_file_json's object as a string; "" and the status on a failure.
std::string json_of(velkor_file* file, const char* path, uint32_t options, int32_t* status = nullptr) {
    const char* text = reinterpret_cast<const char*>(1);
    std::size_t size = 99;
    const int32_t got = velkor_file_json(file, path, options, &text, &size);
    if (status != nullptr) *status = got;
    if (got != VELKOR_OK) {
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(size, 0u);
        return "";
    }
    EXPECT_EQ(text[size], '\0');
    return std::string(text, size);
}

bool has(const std::string& json, const std::string& part) { return json.find(part) != std::string::npos; }

}  // namespace

// The object is the handle's: a second call writes it afresh (nothing of
// the first left in it), and another handle's call leaves it be.
TEST(FileApi, JsonIsWrittenAfreshAndStaysWithItsHandle) {
    TempDir dir;
    const Opened one(file_with(dir, tag(4, frame(4, "TIT2", Bytes{3} + text("One")))));
    const Opened two(dir.write("plain.mp3", [] {
        Bytes bytes;
        put_header(bytes, 0);
        bytes.resize(bytes.size() + 417);
        return bytes;
    }()));
    ASSERT_EQ(one.status, VELKOR_OK);
    ASSERT_EQ(two.status, VELKOR_OK);
    const char* first = nullptr;
    std::size_t size = 0;
    ASSERT_EQ(velkor_file_json(one.file, "a.mp3", 0, &first, &size), VELKOR_OK);
    const std::string kept(first, size);
    EXPECT_EQ(kept.rfind("{\"json_version\":\"" VELKOR_JSON_VERSION "\",", 0), 0u);
    EXPECT_TRUE(has(kept, "\"path\":\"a.mp3\"")) << kept;
    EXPECT_TRUE(has(kept, "\"title\":[\"One\"]")) << kept;
    EXPECT_EQ(kept.back(), '}');

    // A file without tags: every tag key there, empty or null.
    const std::string plain = json_of(two.file, nullptr, 0);
    EXPECT_TRUE(has(plain, "\"path\":\"" + dir.path("plain.mp3") + "\"")) << plain;
    for (const char* part : {"\"id3v1\":null", "\"id3v2\":null", "\"tags\":{}}", "\"comments\":[]",
                             "\"ape_items\":[]", "\"musicbrainz\":{}", "\"status\":\"ok\""}) {
        EXPECT_TRUE(has(plain, part)) << part << " in " << plain;
    }
    EXPECT_EQ(std::string(first, size), kept);
    EXPECT_EQ(json_of(one.file, "a.mp3", 0), kept);
    EXPECT_EQ(json_of(one.file, "a.mp3", 0), kept);
}

// The texts of VELKOR_JSON_JOINED_TEXTS are velkor_text's; without it a
// frame's values stay apart and a track is its number and total.
TEST(FileApi, JsonTextsApartOrJoined) {
    TempDir dir;
    const Opened file(file_with(
        dir, tag(4, frame(4, "TPE1", Bytes{3} + text("A") + Bytes{0} + text("B")) +
                        frame(4, "TRCK", Bytes{3} + text("07/12")) +
                        frame(4, "COMM", Bytes{3} + text("eng") + Bytes{0} + text("x") + Bytes{0} + text("y")))));
    ASSERT_EQ(file.status, VELKOR_OK);
    const std::string apart = json_of(file.file, "f", 0);
    for (const char* part : {"\"artist\":[\"A\",\"B\"]", "\"track\":7,\"track_total\":12", "\"text\":\"x\""}) {
        EXPECT_TRUE(has(apart, part)) << part << " in " << apart;
    }
    const std::string joined = json_of(file.file, "f", VELKOR_JSON_JOINED_TEXTS);
    for (const char* part : {"\"artist\":\"A; B\"", "\"track\":\"07/12\",\"track_total\":12", "\"text\":\"x; y\""}) {
        EXPECT_TRUE(has(joined, part)) << part << " in " << joined;
    }

    // The frames apart: the object less its "frames", a line break, the array.
    const std::string apart_frames = json_of(file.file, "f", VELKOR_JSON_FRAMES_APART);
    const std::size_t line = apart_frames.find('\n');
    ASSERT_NE(line, std::string::npos) << apart_frames;
    const std::string frames = apart_frames.substr(line + 1);
    ASSERT_EQ(frames.rfind("[{\"id\":\"TPE1\"", 0), 0u) << frames;
    std::string less = apart;
    const std::size_t at = less.find(",\"frames\":" + frames + "}");
    ASSERT_NE(at, std::string::npos) << apart;
    less.erase(at, frames.size() + 10);
    EXPECT_EQ(apart_frames.substr(0, line), less);
}

// A failure is a status with no text: bad arguments, and frames that can
// no longer be read from a file changed since it was opened.
TEST(FileApi, JsonFailuresAreStatuses) {
    TempDir dir;
    // A frame past the 64 KiB kept at open is read from the file when asked for.
    const Bytes big = text("owner") + Bytes{0} + Bytes(100000, 7);
    const std::string path = file_with(dir, tag(3, frame(3, "TIT2", Bytes{0, 'T'}) + frame(3, "PRIV", big)));
    const Opened file(path);
    ASSERT_EQ(file.status, VELKOR_OK);
    // ... unless every frame was read while the file was open.
    const Opened all_frames(path, VELKOR_OPEN_ALL_FRAMES);
    ASSERT_EQ(all_frames.status, VELKOR_OK);
    const std::string whole = json_of(all_frames.file, "p", 0);
    const char* text = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(velkor_file_json(nullptr, "p", 0, &text, &size), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_file_json(file.file, "p", 0, nullptr, &size), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_file_json(file.file, "p", 0, &text, nullptr), VELKOR_ERROR_ARGUMENT);
    int32_t status = VELKOR_OK;
    json_of(file.file, "p", 0x80, &status);
    EXPECT_EQ(status, VELKOR_ERROR_ARGUMENT);

    {
        std::ofstream grow(path, std::ios::binary | std::ios::app);
        grow << "more";
    }
    json_of(file.file, "p", 0, &status);
    EXPECT_EQ(status, VELKOR_ERROR_CHANGED);
    EXPECT_EQ(json_of(all_frames.file, "p", 0), whole);
    EXPECT_TRUE(has(whole, "\"owner\":\"owner\"")) << whole;
}

// The line of a file without a handle: a buffer too small writes nothing
// and says what it needs; a name that is not UTF-8 keeps its bytes.
TEST(FileApi, FailureJsonSaysWhatItNeeds) {
    const char* path = "dir/\xff.mp3";
    std::size_t length = 0;
    char small[8] = "kept";
    EXPECT_EQ(velkor_failure_json(path, "not_found", "no such file", nullptr, small, sizeof small, &length),
              VELKOR_ERROR_ARGUMENT);
    EXPECT_STREQ(small, "kept");
    std::string line(length + 1, '\0');
    ASSERT_EQ(velkor_failure_json(path, "not_found", nullptr, "", line.data(), line.size(), &length), VELKOR_OK);
    line.resize(length);
    EXPECT_TRUE(has(line, "\"path_bytes\":\"ZGlyL/8ubXAz\",\"status\":\"not_found\",\"error\":null}")) << line;
    EXPECT_EQ(velkor_failure_json(nullptr, "read", nullptr, nullptr, small, sizeof small, &length),
              VELKOR_ERROR_ARGUMENT);
}

// A scan's threads write the object ahead: the handle then gives that one
// for its own path and options, and for other options or another path
// writes the one asked for.
TEST(FileApi, JsonWrittenByAScanIsTheOneAskedFor) {
    TempDir dir;
    const std::string path =
        file_with(dir, tag(4, frame(4, "TPE1", Bytes{3} + text("A") + Bytes{0} + text("B"))));
    const Opened fresh(path);
    const std::string apart = json_of(fresh.file, nullptr, 0);
    const std::string joined = json_of(fresh.file, nullptr, VELKOR_JSON_JOINED_TEXTS);
    ASSERT_NE(apart, joined);
    for (const uint32_t written : {VELKOR_SCAN_JSON, VELKOR_SCAN_JSON | VELKOR_SCAN_JSON_OPTIONS(VELKOR_JSON_JOINED_TEXTS)}) {
        for (const int32_t threads : {1, 2}) {
            const char* operands[] = {path.c_str()};
            velkor_scan* scan = nullptr;
            ASSERT_EQ(velkor_scan_open(operands, 1, written, threads, &scan), VELKOR_OK);
            const char* given = nullptr;
            velkor_file* file = nullptr;
            int32_t status = VELKOR_ERROR_READ;
            ASSERT_EQ(velkor_scan_next(scan, &given, &file, &status), 1);
            ASSERT_EQ(status, VELKOR_OK);
            EXPECT_EQ(json_of(file, given, written == VELKOR_SCAN_JSON ? 0 : VELKOR_JSON_JOINED_TEXTS),
                      written == VELKOR_SCAN_JSON ? apart : joined);
            EXPECT_EQ(json_of(file, nullptr, 0), apart);
            EXPECT_EQ(json_of(file, nullptr, VELKOR_JSON_JOINED_TEXTS), joined);
            const std::string renamed = json_of(file, "other.mp3", VELKOR_JSON_JOINED_TEXTS);
            EXPECT_TRUE(has(renamed, "\"path\":\"other.mp3\"")) << renamed;
            EXPECT_EQ(json_of(file, nullptr, VELKOR_JSON_JOINED_TEXTS), joined);
            velkor_close(file);
            velkor_scan_close(scan);
        }
    }
}
