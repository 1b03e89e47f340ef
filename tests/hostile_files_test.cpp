// A catalogue of hostile files and paths, each analysed by load and by both
// exports: every one gives the status and figures listed for it, shows the
// notice only when a path cannot be opened, and finishes in bounded time.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "../fuzz/file_checks.h"
#include "legacy/record_figures.h"
#include "notice_recorder.h"
#include "stream/mp3_file_info.h"
#include "test_files.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace {

using velkor::Mp3FileInfo;
using velkor::testing::Bytes;
using velkor::testing::id3v1;
using velkor::testing::id3v2_header;
using velkor::testing::id3v2_text_frame;
using velkor::testing::NoticeRecorder;
using velkor::testing::put;
using velkor::testing::frame_file;
using velkor::testing::put_header;
using velkor::testing::TempDir;

constexpr int64_t kAny = INT64_MIN;  // a figure the case does not pin
constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kGiB = 1024 * kMiB;
constexpr double kDefaultSeconds = 5;

// What load must give; the exports must agree with it.
struct Expected {
    int32_t status = 0;
    int64_t header_pos = kAny;
    int64_t bitrate = kAny;
    int64_t frames = kAny;
    int64_t length = kAny;
    int64_t is_vbr = kAny;
    int64_t has_id3v1 = kAny;
    int64_t has_id3v2 = kAny;
    // Further checks on the results, when the case has any.
    std::function<void(const Mp3FileInfo&, const std::string& report, const velkor_info_record&)> more;
};

struct Built {
    std::string path;
    Expected expected;
};

struct HostileCase {
    const char* name;
    std::function<Built(TempDir&)> build;
    double seconds = kDefaultSeconds;
    bool as_other_user = false;  // the call runs without the owner's rights
};

// Status 4 with the last candidate at the end, as a file without any frame
// gives.
Expected no_frame(int64_t size) {
    Expected e;
    e.status = 4;
    e.header_pos = size >= 5 ? size - 4 : 0;
    return e;
}

Expected refused() {
    Expected e;
    e.status = 2;
    return e;
}

// What the plain walk over the bytes finds.
Expected walked(const Bytes& bytes) {
    const velkor::fuzzing::PlainWalk walk =
        velkor::fuzzing::plain_walk(velkor::ByteSpan(bytes.data(), bytes.size()));
    if (walk.frame < 0) return no_frame(static_cast<int64_t>(bytes.size()));
    Expected e;
    e.header_pos = walk.frame + 1;
    e.is_vbr = walk.is_vbr;
    e.has_id3v1 = walk.id3v1 ? 1 : 0;
    return e;
}

Bytes random_bytes(std::size_t size, unsigned salt) {
    std::mt19937 random(salt);
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

Bytes with_tag(const Bytes& tag, const Bytes& rest) {
    Bytes bytes = tag;
    put(bytes, bytes.size(), rest);
    return bytes;
}

// A version 2.3 frame header with any size field.
Bytes frame_header_v23(const std::string& id, uint32_t size) {
    Bytes frame(id.begin(), id.end());
    put(frame, 4, Bytes{uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0});
    return frame;
}

// An ID3v2.3 tag holding `body`, then an MPEG frame behind it.
Bytes tagged_file(const Bytes& body) {
    Bytes tag = id3v2_header(static_cast<uint32_t>(body.size()));
    put(tag, tag.size(), body);
    return with_tag(tag, frame_file(2000));
}

// A file of tagged_file(body) whose tag reads as the three texts.
Built tag_texts(TempDir& d, const char* name, const Bytes& body, const char* title, const char* artist,
                const char* album) {
    Expected e;
    e.header_pos = 10 + static_cast<int64_t>(body.size()) + 1;
    e.has_id3v2 = 1;
    e.more = [=](const Mp3FileInfo& info, const std::string&, const velkor_info_record&) {
        EXPECT_STREQ(info.tag.v2_title, title);
        EXPECT_STREQ(info.tag.v2_artist, artist);
        EXPECT_STREQ(info.tag.v2_album, album);
    };
    return Built{d.write(name, tagged_file(body)), e};
}

std::string text_of(const char* field) { return field; }

// A path of exactly `length` characters below dir, made of nested folders;
// with `create` the folders and an MPEG file at its end exist.
std::string long_path(const TempDir& dir, std::size_t length, bool create) {
    std::string path = dir.path("");
    path.pop_back();
    while (length - path.size() - 1 > 200) {
        path += "/" + std::string(150, 'd');
        if (create && ::mkdir(path.c_str(), 0755) != 0) ADD_FAILURE() << "cannot create " << path;
    }
    path += "/" + std::string(length - path.size() - 1, 'f');
    if (create) {
        const Bytes bytes = frame_file(3000);
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            ADD_FAILURE() << "cannot create " << path;
            return path;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

const HostileCase kCatalogue[] = {
    {"Empty", [](TempDir& d) { return Built{d.write("empty.mp3", {}), no_frame(0)}; }},
    {"OneToFourBytesOfAHeader",
     [](TempDir& d) {
         // Each prefix of a valid header is too short for any candidate.
         const Bytes header = frame_file(4);
         for (std::size_t n = 1; n <= 3; ++n) {
             Mp3FileInfo info;
             const Bytes prefix(header.begin(), header.begin() + static_cast<long>(n));
             EXPECT_EQ(info.load(d.write("short.mp3", prefix).c_str()), 4) << n;
         }
         return Built{d.write("four.mp3", frame_file(4)), no_frame(4)};
     }},
    {"OnlyZeros", [](TempDir& d) { return Built{d.write("zeros.mp3", Bytes(150000, 0)), no_frame(150000)}; }},
    {"OnlyFF", [](TempDir& d) { return Built{d.write("ff.mp3", Bytes(150000, 0xFF)), no_frame(150000)}; }},
    {"RandomSmall",
     [](TempDir& d) {
         const Bytes bytes = random_bytes(1000, 1);
         return Built{d.write("random.mp3", bytes), walked(bytes)};
     }},
    {"RandomAcrossTheFirstRead",
     [](TempDir& d) {
         const Bytes bytes = random_bytes(70000, 2);
         return Built{d.write("random.mp3", bytes), walked(bytes)};
     }},
    {"RandomBeyondTheWorkingBuffer",
     [](TempDir& d) {
         const Bytes bytes = random_bytes(300000, 3);
         return Built{d.write("random.mp3", bytes), walked(bytes)};
     }},
    {"RandomWithoutFFBytes",
     [](TempDir& d) {
         // No sync byte anywhere: the scan must run to the end and stop.
         Bytes bytes = random_bytes(250000, 4);
         for (uint8_t& b : bytes) b = b == 0xFF ? 0xFE : b;
         return Built{d.write("random.mp3", bytes), no_frame(250000)};
     }},
    {"Sparse300MiBOfZeros",
     [](TempDir& d) { return Built{d.write_sparse("big.mp3", {}, 300 * kMiB), no_frame(300 * kMiB)}; },
     20},
    {"Sparse300MiBWithAFrame",
     [](TempDir& d) {
         Expected e;
         e.header_pos = 1;
         e.bitrate = 128;
         e.frames = 752639;
         e.length = 19660;
         e.has_id3v1 = 1;
         return Built{d.write_sparse("big.mp3", frame_file(3 * 417), 300 * kMiB,
                                     id3v1("Big", "", "", "2020", "", 1, 0)),
                      e};
     }},
    {"Sparse4GiBOfZeros",
     [](TempDir& d) { return Built{d.write_sparse("huge.mp3", {}, 4 * kGiB), no_frame(4 * kGiB)}; },
     60},
    {"Sparse4GiBWithAFrame",
     [](TempDir& d) {
         Expected e;
         e.header_pos = 1;
         e.bitrate = 128;
         e.frames = 10276044;
         e.length = 268435;
         e.more = [](const Mp3FileInfo& info, const std::string& report, const velkor_info_record& record) {
             EXPECT_EQ(info.file_size(), 4 * kGiB);
             EXPECT_NE(report.find("<sep>74:33:55<sep>4194304 kB<sep>"), std::string::npos) << report;
             EXPECT_STREQ(record.size, "4194304");
             EXPECT_STREQ(record.length, "268435");
         };
         return Built{d.write_sparse("huge.mp3", frame_file(3 * 417), 4 * kGiB), e};
     }},
    {"Id3v2SizePastTheEnd",
     [](TempDir& d) {
         // The scan starts at 0 again, and the reader gets what there is.
         Bytes bytes = id3v2_header(50000);
         put(bytes, 10, id3v2_text_frame("TIT2", "Title"));
         put_header(bytes, 200);
         bytes.resize(3000);
         Expected e;
         e.header_pos = 201;
         e.has_id3v2 = 1;
         e.more = [](const Mp3FileInfo& info, const std::string&, const velkor_info_record& record) {
             EXPECT_STREQ(info.tag.v2_title, "Title");
             EXPECT_STREQ(record.title, "Title");
         };
         return Built{d.write("past_end.mp3", bytes), e};
     }},
    {"Id3v2SizeHuge",
     [](TempDir& d) {
         Bytes bytes = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
         put(bytes, 10, id3v2_text_frame("TIT2", "Title"));
         put_header(bytes, 100);
         bytes.resize(2000);
         Expected e;
         e.header_pos = 101;
         e.has_id3v2 = 1;  // read as far as the file goes
         return Built{d.write("huge_tag.mp3", bytes), e};
     }},
    {"Id3v2NestedFrame",
     [](TempDir& d) {
         // A frame inside another frame's body is part of that body.
         Bytes outer = {0};
         put(outer, 1, std::string("Outer"));
         outer.push_back(0);
         put(outer, outer.size(), id3v2_text_frame("TPE1", "Inner"));
         Bytes body = frame_header_v23("TIT2", static_cast<uint32_t>(outer.size()));
         put(body, body.size(), outer);
         put(body, body.size(), id3v2_text_frame("TALB", "Album"));
         return tag_texts(d, "nested.mp3", body, "Outer", "", "Album");
     }},
    {"Id3v2OverlappingFrames",
     [](TempDir& d) {
         // The title's size reaches 4 bytes into the next frame's header:
         // the walk lands on its size bytes, whose zero ends it.
         Bytes body = frame_header_v23("TIT2", 7 + 4);
         put(body, body.size(), Bytes{0, 'T', 'i', 't', 'l', 'e', 0});
         put(body, body.size(), id3v2_text_frame("TPE1", "Artist"));
         put(body, body.size(), id3v2_text_frame("TALB", "Album"));
         return tag_texts(d, "overlap.mp3", body, "Title", "", "");
     }},
    {"Id3v2FrameSizeWithTopBitSet",
     [](TempDir& d) {
         Bytes body = id3v2_text_frame("TALB", "Album");
         put(body, body.size(), frame_header_v23("TIT2", 0x80000010u));
         put(body, body.size(), Bytes{0, 'T', 'i', 't', 'l', 'e'});
         put(body, body.size(), Bytes(100, 0));
         return tag_texts(d, "top_bit.mp3", body, "", "", "Album");
     }},
    {"Id3v22FrameSizeAllOnes",
     [](TempDir& d) {
         Bytes body = {'T', 'T', '2', 0xFF, 0xFF, 0xFF, 0, 'T', 'i', 't', 'l', 'e'};
         put(body, body.size(), Bytes(100, 0));
         Bytes tag = id3v2_header(static_cast<uint32_t>(body.size()), 2);
         put(tag, tag.size(), body);
         Expected e;
         e.header_pos = static_cast<int64_t>(tag.size()) + 1;
         e.has_id3v2 = 0;
         return Built{d.write("v22.mp3", with_tag(tag, frame_file(2000))), e};
     }},
    {"XingCutShortInItsFlags",
     [](TempDir& d) {
         // The magic is there, the frame count is not: the frame is cut
         // short, so it opens no stream.
         Bytes bytes = frame_file(36);
         put(bytes, 36, std::string("Xing"));
         bytes.resize(42);
         return Built{d.write("xing_cut.mp3", bytes), no_frame(42)};
     }},
    {"XingCutShortInItsMagic",
     [](TempDir& d) {
         // A whole padded 36-byte Layer I frame: the Xing magic behind it
         // is cut by the file's end.
         static constexpr uint8_t kLayer1[4] = {0xFF, 0xFF, 0x12, 0x00};  // 32 kbit/s, 44100 Hz, padded
         Bytes bytes(36, 0);
         put(bytes, 0, Bytes(kLayer1, kLayer1 + 4));
         put(bytes, 36, std::string("Xi"));
         Expected e;
         e.header_pos = 1;
         e.is_vbr = 0;
         e.bitrate = 32;
         return Built{d.write("xing_magic_cut.mp3", bytes), e};
     }},
    {"Id3v1EveryByteFF",
     [](TempDir& d) {
         Bytes bytes = frame_file(3 * 417);  // three whole frames
         put(bytes, bytes.size(), Bytes(128, 0xFF));
         Expected e;
         e.header_pos = 1;
         e.has_id3v1 = 0;
         return Built{d.write("ff_tag.mp3", bytes), e};
     }},
    {"Id3v1MarkerThenEveryByteFF",
     [](TempDir& d) {
         Bytes bytes = frame_file(3 * 417);  // three whole frames
         Bytes block(128, 0xFF);
         put(block, 0, std::string("TAG"));
         put(bytes, bytes.size(), block);
         Expected e;
         e.header_pos = 1;
         e.has_id3v1 = 1;
         e.more = [](const Mp3FileInfo& info, const std::string& report, const velkor_info_record& record) {
             EXPECT_EQ(text_of(info.tag.title), std::string(30, '\xFF'));
             EXPECT_EQ(info.tag_genre_index(), -1000);
             EXPECT_EQ(info.tag_track(), -1);
             EXPECT_NE(report.find("<sep>not supported<sep>"), std::string::npos);
             EXPECT_EQ(text_of(record.comment), std::string(30, ' '));
             EXPECT_STREQ(record.genre, "-1000");
             EXPECT_STREQ(record.year, "0");
             EXPECT_STREQ(record.track, "");
         };
         return Built{d.write("tag_ff.mp3", bytes), e};
     }},
    {"PathOf4096Characters",
     [](TempDir& d) { return Built{long_path(d, 4096, false), refused()}; }},
    {"PathOf4095CharactersIsKeptWhole",
     [](TempDir& d) {
         const std::string path = long_path(d, 4095, true);
         Expected e;
         e.header_pos = 1;
         e.more = [path](const Mp3FileInfo& info, const std::string&, const velkor_info_record&) {
             EXPECT_EQ(info.path.size(), 4095u);
             EXPECT_EQ(info.path, path);
         };
         return Built{path, e};
     }},
    {"EmptyPath", [](TempDir&) { return Built{"", refused()}; }},
    {"Missing", [](TempDir& d) { return Built{d.path("missing.mp3"), refused()}; }},
    {"FileUsedAsAFolder",
     [](TempDir& d) { return Built{d.write("song.mp3", frame_file(3000)) + "/", refused()}; }},
    {"SymlinkLoop",
     [](TempDir& d) {
         const std::string path = d.path("loop.mp3");
         EXPECT_EQ(::symlink(path.c_str(), path.c_str()), 0);
         return Built{path, refused()};
     }},
    {"SymlinkToADevice",
     [](TempDir& d) {
         const std::string path = d.path("zero.mp3");
         EXPECT_EQ(::symlink("/dev/zero", path.c_str()), 0);
         return Built{path, refused()};
     }},
    {"Directory", [](TempDir& d) { return Built{d.path(""), refused()}; }},
    {"Fifo",
     [](TempDir& d) {
         const std::string path = d.path("fifo.mp3");
         EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
         return Built{path, refused()};
     }},
    {"DevNull", [](TempDir&) { return Built{"/dev/null", refused()}; }},
    {"DevZero", [](TempDir&) { return Built{"/dev/zero", refused()}; }},
    {"SystemFileReportedEmpty", [](TempDir&) { return Built{"/proc/self/status", no_frame(0)}; }},
    {"WithoutReadPermission",
     [](TempDir& d) {
         const std::string path = d.write("secret.mp3", frame_file(3000));
         EXPECT_EQ(::chmod(path.c_str(), 0200), 0);
         EXPECT_EQ(::chmod(d.path("").c_str(), 0711), 0);  // the other user may pass
         return Built{path, refused()};
     },
     kDefaultSeconds, true},
};

// Runs the calls as another user when the test runs as root, whose rights
// would read any file; elsewhere the caller's own rights are too few.
class OtherUser {
public:
    OtherUser() {
        if (::geteuid() != 0) return;
        switched_ = ::seteuid(kNobody) == 0;
        if (!switched_) error_ = std::strerror(errno);
    }
    ~OtherUser() {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    OtherUser(const OtherUser&) = delete;
    OtherUser& operator=(const OtherUser&) = delete;
    // Why the switch failed, or nullptr.
    const char* error() const { return error_; }

private:
    static constexpr uid_t kNobody = 65534;
    bool switched_ = false;
    const char* error_ = nullptr;
};

void expect_figure(const char* what, int64_t actual, int64_t expected) {
    if (expected != kAny) {
        EXPECT_EQ(actual, expected) << what;
    }
}

void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.name; }

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, GiveTheirStatusInBoundedTime) {
    const HostileCase& hostile = GetParam();
    TempDir dir;
    const Built built = hostile.build(dir);
    const Expected& expected = built.expected;
    const char* path = built.path.c_str();

    NoticeRecorder recorder;
    Mp3FileInfo info;
    std::string report;
    int32_t written = -1;
    std::unique_ptr<velkor_info_record> record(new velkor_info_record);
    std::memset(record.get(), 'x', sizeof(velkor_info_record));
    const auto start = std::chrono::steady_clock::now();
    {
        std::unique_ptr<OtherUser> user(hostile.as_other_user ? new OtherUser : nullptr);
        if (user && user->error()) GTEST_SKIP() << "cannot drop to another user: " << user->error();
        const int32_t status = info.load(path);
        std::unique_ptr<char[]> buffer(new char[VELKOR_REPORT_SIZE]);
        written = VkOpenMp3File(path, buffer.get(), 0);
        report = buffer.get();
        VkGetSonvexStruct(path, record.get());
        EXPECT_EQ(status, expected.status);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed.count(), hostile.seconds);

    // The notice only for a path that cannot be opened, once per call; the
    // object as it was.
    if (expected.status == 2) {
        ASSERT_EQ(recorder.notices().size(), 3u);
        for (const auto& notice : recorder.notices()) {
            EXPECT_EQ(notice.caption, built.path);
            EXPECT_EQ(notice.text, "You tried to open a file\nthat didn't work");
            EXPECT_EQ(notice.style, 0x1000u);
        }
        EXPECT_TRUE(info.path.empty());
        EXPECT_EQ(info.file_size(), 0);
    } else {
        EXPECT_TRUE(recorder.notices().empty());
    }

    if (expected.status != 0) {
        EXPECT_EQ(written, 0);
        EXPECT_EQ(report, "Unable to open file");
        EXPECT_EQ(text_of(record->status), "Unable to open file (" + std::to_string(expected.status) + ")");
        EXPECT_EQ(std::string(record->track, sizeof(velkor_info_record) - sizeof record->status),
                  std::string(sizeof(velkor_info_record) - sizeof record->status, 'x'));
    } else {
        EXPECT_EQ(written, 1);
        EXPECT_EQ(report.rfind("SUCCESS: File opened successfully<sep>", 0), 0u) << report;
        EXPECT_STREQ(record->status, "Success");
        EXPECT_EQ(text_of(record->bitrate), std::to_string(velkor::legacy::bitrate_kbps(info)));
        EXPECT_EQ(text_of(record->frames), std::to_string(velkor::legacy::frame_count(info)));
        EXPECT_EQ(text_of(record->length), std::to_string(velkor::legacy::length_seconds(info)));
    }
    if (expected.status != 2) expect_figure("header_pos", velkor::legacy::header_pos(info), expected.header_pos);
    if (expected.status == 0) {
        expect_figure("bitrate", velkor::legacy::bitrate_kbps(info), expected.bitrate);
        expect_figure("frames", velkor::legacy::frame_count(info), expected.frames);
        expect_figure("length", velkor::legacy::length_seconds(info), expected.length);
        expect_figure("is_vbr", info.is_vbr, expected.is_vbr);
        expect_figure("has_id3v1", info.has_id3v1, expected.has_id3v1);
        expect_figure("has_id3v2", info.has_id3v2, expected.has_id3v2);
    }
    if (expected.more) expected.more(info, report, *record);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileFiles, ::testing::ValuesIn(kCatalogue),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.name);
                         });

// Nothing is kept between calls: a file removed after one call cannot be
// opened by the next, and one put in its place is analysed afresh.
TEST(HostileCalls, FileRemovedOrReplacedBetweenCalls) {
    TempDir dir;
    NoticeRecorder recorder;
    const std::string path = dir.write("song.mp3", frame_file(3000));
    char report[VELKOR_REPORT_SIZE];
    ASSERT_EQ(VkOpenMp3File(path.c_str(), report, 0), 1);

    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(VkOpenMp3File(path.c_str(), report, 0), 0);
    EXPECT_STREQ(report, "Unable to open file");
    velkor_info_record record;
    VkGetSonvexStruct(path.c_str(), &record);
    EXPECT_STREQ(record.status, "Unable to open file (2)");
    EXPECT_EQ(recorder.notices().size(), 2u);

    dir.write("song.mp3", Bytes(3000, 0));
    VkGetSonvexStruct(path.c_str(), &record);
    EXPECT_STREQ(record.status, "Unable to open file (4)");
    Bytes tagged = frame_file(3000);
    put(tagged, tagged.size(), id3v1("New", "", "", "1999", "", 2, 3));
    dir.write("song.mp3", tagged);
    VkGetSonvexStruct(path.c_str(), &record);
    EXPECT_STREQ(record.status, "Success");
    EXPECT_STREQ(record.title, "New");
    EXPECT_EQ(recorder.notices().size(), 2u);
}

}  // namespace
