// A scan whose walk runs out of memory: the results found before it are
// handed out, then the failure (-1 with VELKOR_ERROR_NO_MEMORY), never the
// end of a finished scan. This program replaces the global operator new so
// that a test can make allocations fail on the threads it chooses.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <thread>

#include "test_files.h"
#include "velkor.h"

namespace {

thread_local bool fail_on_this_thread = false;
std::atomic<bool> fail_on_other_threads{false};
std::thread::id spared_thread;

// Allocations fail while armed: on the arming thread, or on every thread but it.
class FailingAllocations {
public:
    enum Where { kHere, kElsewhere };
    explicit FailingAllocations(Where where) : where_(where) {
        if (where_ == kHere) {
            fail_on_this_thread = true;
        } else {
            spared_thread = std::this_thread::get_id();
            fail_on_other_threads = true;
        }
    }
    ~FailingAllocations() {
        fail_on_this_thread = false;
        fail_on_other_threads = false;
    }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

private:
    Where where_;
};

bool allocation_fails() {
    return fail_on_this_thread || (fail_on_other_threads && std::this_thread::get_id() != spared_thread);
}

}  // namespace

void* operator new(std::size_t size) {
    if (allocation_fails()) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// What the operator new above allocates, malloc, is what free releases; GCC
// sees only a pointer from operator new reach free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

using velkor::testing::frame_file;
using velkor::testing::TempDir;

struct Next {
    int32_t result;
    std::string path;
    bool has_file;
    int32_t status;
};

Next next(velkor_scan* scan) {
    const char* path = "not set";
    velkor_file* file = reinterpret_cast<velkor_file*>(&path);
    int32_t status = -7;
    Next taken{velkor_scan_next(scan, &path, &file, &status), path ? path : "(null)", file != nullptr, status};
    velkor_close(file);
    return taken;
}

TEST(FileScanFailure, OnTheCallersThreadComesAfterTheResultsBeforeIt) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("folder"));
    dir.write("folder/a.mp3", frame_file(2000));
    dir.write("folder/b.mp3", frame_file(2000));
    const std::string operands[] = {dir.path("folder/a.mp3"), dir.path("folder")};
    const char* paths[] = {operands[0].c_str(), operands[1].c_str()};
    velkor_scan* scan = nullptr;
    ASSERT_EQ(velkor_scan_open(paths, 2, VELKOR_SCAN_RECURSIVE, 1, &scan), VELKOR_OK);

    Next first = next(scan);
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.path, operands[0]);
    EXPECT_TRUE(first.has_file);
    EXPECT_EQ(first.status, VELKOR_OK);
    Next failed{};
    {
        FailingAllocations failing(FailingAllocations::kHere);  // the folder cannot be listed
        failed = next(scan);
    }
    EXPECT_EQ(failed.result, -1);
    EXPECT_EQ(failed.status, VELKOR_ERROR_NO_MEMORY);
    EXPECT_EQ(failed.path, "(null)");
    EXPECT_FALSE(failed.has_file);
    // Nothing more comes, memory or not: the rest of the walk is lost.
    const Next again = next(scan);
    EXPECT_EQ(again.result, -1);
    EXPECT_EQ(again.status, VELKOR_ERROR_NO_MEMORY);
    velkor_scan_close(scan);
}

TEST(FileScanFailure, OfTheWalkingThreadReachesTheReader) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("folder"));
    dir.write("folder/a.mp3", frame_file(2000));
    const std::string folder = dir.path("folder");
    const char* operand = folder.c_str();
    velkor_scan* scan = nullptr;
    Next failed{}, again{};
    {
        FailingAllocations failing(FailingAllocations::kElsewhere);
        ASSERT_EQ(velkor_scan_open(&operand, 1, VELKOR_SCAN_RECURSIVE, 4, &scan), VELKOR_OK);
        failed = next(scan);
        again = next(scan);
    }
    EXPECT_EQ(failed.result, -1);
    EXPECT_EQ(failed.status, VELKOR_ERROR_NO_MEMORY);
    EXPECT_FALSE(failed.has_file);
    EXPECT_EQ(again.result, -1);
    velkor_scan_close(scan);
}

TEST(FileScanFailure, EndsWithZeroAndOkWhenNothingFailed) {
    TempDir dir;
    dir.write("a.mp3", frame_file(2000));
    const std::string file = dir.path("a.mp3");
    const char* operand = file.c_str();
    for (int32_t threads : {1, 4}) {
        velkor_scan* scan = nullptr;
        ASSERT_EQ(velkor_scan_open(&operand, 1, 0, threads, &scan), VELKOR_OK);
        EXPECT_EQ(next(scan).result, 1);
        const Next end = next(scan);
        EXPECT_EQ(end.result, 0) << threads << " threads";
        EXPECT_EQ(end.status, VELKOR_OK);
        EXPECT_EQ(end.path, "(null)");
        EXPECT_FALSE(end.has_file);
        velkor_scan_close(scan);
    }
}

}  // namespace
