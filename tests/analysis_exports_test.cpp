// VkOpenMp3File and VkGetSonvexStruct: outputs and failures (threads: thread_stress_test).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "legacy/text_report.h"
#include "notice_recorder.h"
#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::testing::Bytes;
using velkor::testing::id3v1;
using velkor::testing::id3v2_header;
using velkor::testing::id3v2_text_frame;
using velkor::testing::NoticeRecorder;
using velkor::testing::put;
using velkor::testing::put_header;
using velkor::testing::TempDir;

// A 4,000,000-byte MPEG-1 Layer III file, 128 kbit/s, header at offset 0,
// with an optional ID3v2 tag in front and ID3v1 block at the end.
std::string write_mp3(const TempDir& dir, const std::string& name, const Bytes& id3v2_tag,
                      const Bytes& id3v1_block, int64_t size = 4000000) {
    Bytes head = id3v2_tag;
    put_header(head, head.size());
    return dir.write_sparse(name, head, size, id3v1_block);
}

Bytes id3v2_tag(std::initializer_list<std::pair<std::string, std::string>> frames) {
    Bytes body;
    for (const auto& frame : frames) put(body, body.size(), id3v2_text_frame(frame.first, frame.second));
    Bytes tag = id3v2_header(static_cast<uint32_t>(body.size()));
    put(tag, tag.size(), body);
    return tag;
}

std::string report_of(const std::string& path, int32_t* result = nullptr) {
    char report[VELKOR_REPORT_SIZE];
    std::memset(report, 'Q', sizeof report);
    const int32_t r = VkOpenMp3File(path.c_str(), report, 0);
    if (result) *result = r;
    return report;
}

// The report's items after the status prefix.
std::vector<std::string> items_of(const std::string& report) {
    std::vector<std::string> items;
    std::size_t at = 0;
    for (std::size_t end; (end = report.find("<sep>", at)) != std::string::npos; at = end + 5) {
        items.push_back(report.substr(at, end - at));
    }
    EXPECT_EQ(at, report.size()) << "text behind the last marker";
    return items;
}

const char kCommonItems[] =
    "SUCCESS: File opened successfully<sep>MPEG 1 Layer III<sep>128 kbps<sep>44100 Hz<sep>"
    "04:09<sep>3906 kB<sep>Joint Stereo<sep>";

// The ID3v1 texts; ID3v1.0 has no track, a genre byte of 126 or more is "not
// supported" and an empty text an empty item. ID3v2 texts stay out of the
// report, its track does not, unless an ID3v1.0 tag hides it.
TEST(TextReport, TagLayouts) {
    TempDir dir;
    const Bytes v2 = id3v2_tag({{"TIT2", "V2 Title"}, {"TRCK", "5/12"}, {"TYER", "1987"}});
    const struct {
        const char* name;
        Bytes id3v2, id3v1;
        const char* items;
    } cases[] = {
        {"v11.mp3",
         {},
         id3v1("Title", "Artist", "Album", "2001", "Comment", 7, 17),
         "Title<sep>Artist<sep>Album<sep>Rock<sep>Comment<sep>9570<sep>2001<sep>7<sep>"},
        {"v10.mp3",
         {},
         id3v1("", "A", "", "1999", "", 0, 200),
         "<sep>A<sep><sep>not supported<sep><sep>9570<sep>1999<sep>n/a<sep>"},
        {"v2.mp3", v2, {}, "n/a<sep>n/a<sep>n/a<sep>n/a<sep>n/a<sep>9570<sep>n/a<sep>5<sep>"},
        {"both.mp3", v2, id3v1("V1 Title", "", "", "2002", "", 0, 0),
         "V1 Title<sep><sep><sep>Blues<sep><sep>9570<sep>2002<sep>n/a<sep>"},
        {"none.mp3", {}, {}, "n/a<sep>n/a<sep>n/a<sep>n/a<sep>n/a<sep>9570<sep>n/a<sep>n/a<sep>"},
    };
    for (const auto& c : cases) {
        int32_t result = 0;
        EXPECT_EQ(report_of(write_mp3(dir, c.name, c.id3v2, c.id3v1), &result), kCommonItems + std::string(c.items));
        EXPECT_EQ(result, 1) << c.name;
    }
}

TEST(TextReport, SizeBelowOneKilobyte) {
    TempDir dir;
    // Three whole 336-byte frames (112 kbit/s, 48 kHz).
    static constexpr uint8_t kHeader[4] = {0xFF, 0xFB, 0x84, 0x64};
    Bytes bytes(1023, 0);
    velkor::testing::put_header(bytes, 0, kHeader);
    const std::vector<std::string> items = items_of(report_of(dir.write("small.mp3", bytes)));
    ASSERT_EQ(items.size(), 15u);
    EXPECT_EQ(items[5], "0 kB");
}

TEST(TextReport, Failures) {
    TempDir dir;
    NoticeRecorder recorder;
    int32_t result = -1;
    const std::string missing = dir.path("missing.mp3");
    EXPECT_EQ(report_of(missing, &result), "Unable to open file");
    EXPECT_EQ(result, 0);
    ASSERT_EQ(recorder.notices().size(), 1u);
    EXPECT_EQ(recorder.notices()[0].caption, missing);

    // No frame: no notice.
    EXPECT_EQ(report_of(dir.write("zeros.mp3", Bytes(5000, 0)), &result), "Unable to open file");
    EXPECT_EQ(result, 0);
    char report[VELKOR_REPORT_SIZE];
    EXPECT_EQ(VkOpenMp3File(nullptr, report, 0), 0);
    EXPECT_STREQ(report, "Unable to open file");
    EXPECT_EQ(VkOpenMp3File(write_mp3(dir, "fine.mp3", {}, {}).c_str(), nullptr, 0), 0);
    EXPECT_EQ(recorder.notices().size(), 1u);
}

// Each item at its longest, over objects set up by hand: together they must
// fill VELKOR_REPORT_SIZE exactly.
TEST(TextReport, LongestItemsMakeTheReportSize) {
    using velkor::Mp3FileInfo;
    std::vector<Mp3FileInfo> extremes(3);
    const uint8_t xing_one[12] = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0, 1};
    const uint8_t xing_max[12] = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF};
    for (Mp3FileInfo& info : extremes) {
        info.file_size_ = INT64_MAX;
        info.first_frame_offset = 0;
        info.has_id3v1 = 1;
        info.tag.set_title(std::string(30, 'T').c_str());
        info.tag.set_artist(std::string(30, 'A').c_str());
        info.tag.set_album(std::string(30, 'L').c_str());
        info.tag.set_comment(std::string(30, 'C').c_str());
        info.tag.genre = 47;  // "Instrumental Rock"
        info.tag.year = -999;
    }
    // The longest version and mode texts, the highest bitrate.
    extremes[0].header.set_bytes(0xFF, 0xE3, 0x80, 0xC0);
    extremes[0].is_vbr = extremes[0].vbr.parse(velkor::ByteSpan(xing_one, 12));
    // The most frames.
    extremes[1].header.set_bytes(0xFF, 0xFB, 0x90, 0x64);
    extremes[1].is_vbr = extremes[1].vbr.parse(velkor::ByteSpan(xing_max, 12));
    // The longest time; a track from an ID3v2 text (no ID3v1 version set).
    extremes[2].header.set_bytes(0xFF, 0xF3, 0x10, 0x44);  // 8 kbit/s
    extremes[2].tag.track = INT32_MIN;

    std::vector<std::size_t> longest(15, 0);
    for (const Mp3FileInfo& info : extremes) {
        char report[VELKOR_REPORT_SIZE];
        velkor::build_text_report(info, report);
        const std::vector<std::string> items = items_of(report);
        ASSERT_EQ(items.size(), 15u) << report;
        for (std::size_t i = 0; i < items.size(); ++i) {
            longest[i] = std::max(longest[i], items[i].size() + 5);
        }
    }
    EXPECT_EQ(longest[1], 18u + 5);   // MPEG 2.5 Layer III
    EXPECT_EQ(longest[2], 15u + 5);   // 2147483647 kbps
    EXPECT_EQ(longest[4], 12u + 5);   // 596523:14:07
    EXPECT_EQ(longest[5], 19u + 5);   // 9007199254740991 kB
    EXPECT_EQ(longest[12], 10u + 5);  // 2147483647 frames
    EXPECT_EQ(longest[14], 11u + 5);  // -2147483648
    std::size_t total = 1;  // the zero byte
    for (std::size_t length : longest) total += length;
    EXPECT_EQ(total, static_cast<std::size_t>(VELKOR_REPORT_SIZE));
}

velkor_info_record fresh_record() {
    velkor_info_record record;
    std::memset(&record, 'Q', sizeof record);
    return record;
}

// The record's fields in their order, joined by '|'.
std::string fields_of(const velkor_info_record& r) {
    std::string out(r.status, strnlen(r.status, sizeof r.status));
    for (const char* field : {r.track, r.year, r.bitrate, r.size, r.frequency, r.length, r.frames, r.album, r.artist,
                              r.comment, r.genre, r.mode, r.version, r.title}) {
        out += '|' + std::string(field, strnlen(field, sizeof r.title));
    }
    return out;
}

// ID3v1 first, then the ID3v2 texts, its track and the index of its genre
// text (no year); an ID3v1.0 tag hides the ID3v2 track. The comment keeps
// only bytes 32 to 126.
TEST(InfoRecordExport, FieldsAndTagFallbacks) {
    TempDir dir;
    const Bytes v2 = id3v2_tag({{"TIT2", "V2 Title"}, {"TPE1", "V2 Artist"}, {"TALB", "V2 Album"},
                                {"TCON", "rock"}, {"TRCK", "5/12"}, {"TYER", "1987"}});
    const std::string stream = "|128|3906|44100|249|9570|";
    const struct {
        const char* name;
        Bytes id3v2, id3v1;
        std::string fields;
    } cases[] = {
        {"v11.mp3", {}, id3v1("Title", "Artist", "Album", "2001", "Line\nTab\t\xE9\x7F!", 7, 17),
         "Success|7|2001" + stream + "Album|Artist|Line Tab   !|17|Joint Stereo|MPEG 1 Layer III|Title"},
        {"v2.mp3", v2, {}, "Success|5|" + stream + "V2 Album|V2 Artist||17|Joint Stereo|MPEG 1 Layer III|V2 Title"},
        {"both.mp3", v2, id3v1("V1", "", "", "2002", "", 0, 200),
         "Success||2002" + stream + "|||-1000|Joint Stereo|MPEG 1 Layer III|V1"},
        {"none.mp3", {}, {}, "Success||" + stream + "|||-1000|Joint Stereo|MPEG 1 Layer III|"},
    };
    for (const auto& c : cases) {
        velkor_info_record record = fresh_record();
        VkGetSonvexStruct(write_mp3(dir, c.name, c.id3v2, c.id3v1).c_str(), &record);
        EXPECT_EQ(fields_of(record), c.fields) << c.name;
    }
}

TEST(InfoRecordExport, FailuresTouchOnlyTheStatus) {
    TempDir dir;
    NoticeRecorder recorder;
    velkor_info_record record = fresh_record();
    VkGetSonvexStruct(dir.path("missing.mp3").c_str(), &record);
    EXPECT_STREQ(record.status, "Unable to open file (2)");
    const velkor_info_record untouched = fresh_record();
    EXPECT_EQ(std::memcmp(record.track, untouched.track, sizeof record - sizeof record.status), 0);
    EXPECT_EQ(recorder.notices().size(), 1u);

    VkGetSonvexStruct(dir.write("zeros.mp3", Bytes(5000, 0)).c_str(), &record);
    EXPECT_STREQ(record.status, "Unable to open file (4)");
    VkGetSonvexStruct(nullptr, &record);
    EXPECT_STREQ(record.status, "Unable to open file (2)");
    EXPECT_EQ(std::memcmp(record.track, untouched.track, sizeof record - sizeof record.status), 0);
    EXPECT_EQ(recorder.notices().size(), 1u);
    VkGetSonvexStruct(write_mp3(dir, "fine.mp3", {}, {}).c_str(), nullptr);
}

}  // namespace
