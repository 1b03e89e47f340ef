// velkor_scan: the same results in the same order whatever the number of
// threads, failures in their place, a look-ahead that stays bounded, and a
// scan stopped half-way.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/disk_reads.h"
#include "test_files.h"
#include "velkor.h"

namespace {

namespace fs = std::filesystem;
using velkor::testing::Bytes;
using velkor::testing::frame_file;
using velkor::testing::TempDir;

using Result = std::tuple<std::string, int32_t, int64_t>;  // path, status, frames

std::vector<Result> scan(const std::vector<std::string>& operands, uint32_t options, int32_t threads) {
    std::vector<const char*> paths;
    for (const std::string& operand : operands) paths.push_back(operand.c_str());
    velkor_scan* scan = nullptr;
    EXPECT_EQ(velkor_scan_open(paths.data(), static_cast<int32_t>(paths.size()), options, threads, &scan), VELKOR_OK);
    std::vector<Result> results;
    const char* path;
    velkor_file* file;
    int32_t status;
    int32_t more;
    while ((more = velkor_scan_next(scan, &path, &file, &status)) == 1) {
        velkor_file_facts facts = {};
        facts.size = sizeof facts;
        if (file) velkor_facts(file, &facts);
        results.emplace_back(path, status, facts.frames);
        velkor_close(file);
    }
    EXPECT_EQ(more, 0) << "the scan failed: " << velkor_status_text(status);
    EXPECT_EQ(status, VELKOR_OK);
    velkor_scan_close(scan);
    return results;
}

#if defined(__linux__)
// The scan adds workers for slow analyses only when they read from a disk:
// an analysis slowed by a busy processor must not look like one.
TEST(FileScan, ThreadThatReadNothingHasNotReadFromADisk) {
    velkor::platform::read_from_disk_since_asked();
    EXPECT_FALSE(velkor::platform::read_from_disk_since_asked());
    std::thread([] { EXPECT_FALSE(velkor::platform::read_from_disk_since_asked()); }).join();
}
#endif

TEST(FileScan, ResultsPastTheByteBoundComeThroughInOrder) {
    TempDir dir;  // 80 results of a 1 MiB title each pass the 64 MiB bound of waiting results
    const Bytes title = velkor::testing::id3v2_text_frame("TIT2", std::string((1 << 20) - 1, 't'));
    const Bytes header = velkor::testing::id3v2_header(static_cast<uint32_t>(title.size()));
    Bytes bytes = velkor::testing::concat({header, title});
    velkor::testing::put_header(bytes, bytes.size());
    std::vector<std::string> paths;
    for (int i = 0; i < 80; ++i) paths.push_back(dir.write(std::to_string(100 + i) + ".mp3", bytes));
    const std::vector<Result> results = scan(paths, 0, 4);
    ASSERT_EQ(results.size(), 80u);
    for (std::size_t i = 0; i < 80; ++i) EXPECT_EQ(std::get<0>(results[i]), paths[i]);
}

TEST(FileScan, SameResultsInTheSameOrderWhateverTheThreads) {
    TempDir dir;
    fs::create_directories(dir.path("music/b/inner"));
    fs::create_directories(dir.path("music/a"));
    for (int i = 0; i < 150; ++i) {
        dir.write("music/b/" + std::to_string(1000 + i) + ".mp3", frame_file(2000 + 417 * (i % 7)));
    }
    dir.write("music/a/zeros.MP3", Bytes(3000, 0));  // no audio: a failure in its place
    dir.write("music/a/cover.jpg", frame_file(2000));    // not an audio file name
    dir.write("music/b/inner/x.mpga", frame_file(5000));
    fs::create_directory_symlink(dir.path("music"), dir.path("music/b/loop"));
    const std::vector<std::string> operands = {dir.path("music"), dir.path("missing.mp3"), dir.path("music/a")};

    const std::vector<Result> one = scan(operands, VELKOR_SCAN_RECURSIVE, 1);
    ASSERT_EQ(one.size(), 154u);
    EXPECT_EQ(one[0], Result(dir.path("music/a/zeros.MP3"), VELKOR_ERROR_NO_AUDIO, 0));
    EXPECT_EQ(std::get<0>(one[1]), dir.path("music/b/1000.mp3"));
    EXPECT_EQ(std::get<0>(one[151]), dir.path("music/b/inner/x.mpga"));
    EXPECT_EQ(one[152], Result(dir.path("missing.mp3"), VELKOR_ERROR_NOT_FOUND, 0));
    for (int32_t threads : {2, 7, 32, 0}) {
        EXPECT_EQ(scan(operands, VELKOR_SCAN_RECURSIVE, threads), one) << threads << " threads";
    }
    // Without recursion a folder is no file; the walk alone gives paths.
    EXPECT_EQ(scan({dir.path("music")}, 0, 4), (std::vector<Result>{{dir.path("music"), VELKOR_ERROR_NOT_REGULAR, 0}}));
    const std::vector<Result> paths = scan(operands, VELKOR_SCAN_RECURSIVE | VELKOR_SCAN_PATHS_ONLY, 4);
    ASSERT_EQ(paths.size(), one.size());
    EXPECT_EQ(paths[0], Result(dir.path("music/a/zeros.MP3"), VELKOR_OK, 0));
}

// The scan runs ahead of its reader only so far: files taken out of the
// folder while the reader waits are found missing, not read beforehand.
TEST(FileScan, LooksAheadOnlyAFewFiles) {
    TempDir dir;
    fs::create_directories(dir.path("many"));
    const Bytes bytes = frame_file(3 * 417);
    for (int i = 0; i < 1000; ++i) dir.write("many/" + std::to_string(10000 + i) + ".mp3", bytes);
    const std::string folder = dir.path("many");
    const char* operand = folder.c_str();
    velkor_scan* scan = nullptr;
    ASSERT_EQ(velkor_scan_open(&operand, 1, VELKOR_SCAN_RECURSIVE, 4, &scan), VELKOR_OK);
    const char* path;
    velkor_file* file;
    int32_t status;
    ASSERT_EQ(velkor_scan_next(scan, &path, &file, &status), 1);
    velkor_close(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    fs::remove_all(folder);
    int analysed = 1, missing = 0;
    while (velkor_scan_next(scan, &path, &file, &status) == 1) {
        analysed += status == VELKOR_OK;
        missing += status == VELKOR_ERROR_NOT_FOUND;
        velkor_close(file);
    }
    velkor_scan_close(scan);
    // The ring (256 files at 4 threads) and the walk's batch in hand.
    EXPECT_LE(analysed, 400);
    EXPECT_EQ(analysed + missing, 1000);
}

TEST(FileScan, StopsHalfWayAndRefusesNonsense) {
    TempDir dir;
    for (int i = 0; i < 300; ++i) dir.write(std::to_string(i) + ".mp3", frame_file(1000));
    const std::string folder = dir.path("");
    const char* operand = folder.c_str();
    velkor_scan* scan = nullptr;
    ASSERT_EQ(velkor_scan_open(&operand, 1, VELKOR_SCAN_RECURSIVE, 8, &scan), VELKOR_OK);
    const char* path;
    velkor_file* file;
    int32_t status;
    for (int i = 0; i < 3 && velkor_scan_next(scan, &path, &file, &status) == 1; ++i) velkor_close(file);
    velkor_scan_close(scan);  // results not taken are released

    EXPECT_EQ(velkor_scan_open(&operand, 1, 0x8000, 1, &scan), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(scan, nullptr);
    EXPECT_EQ(velkor_scan_open(&operand, 1, 0, 1000, &scan), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_scan_open(nullptr, 1, 0, 1, &scan), VELKOR_ERROR_ARGUMENT);
    EXPECT_EQ(velkor_scan_next(nullptr, &path, &file, &status), -1);
    EXPECT_EQ(status, VELKOR_ERROR_ARGUMENT);
    ASSERT_EQ(velkor_scan_open(nullptr, 0, 0, 4, &scan), VELKOR_OK);
    EXPECT_EQ(velkor_scan_next(scan, &path, &file, &status), 0);
    velkor_scan_close(scan);
}

}  // namespace
