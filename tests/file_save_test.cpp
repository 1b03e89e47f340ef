// Writing a user's file: which way each kind of change takes (in place only
// within one page), that the file ends as exactly the head, the kept audio
// and the tail, what is refused (a changed file, a linked one, a dry run)
// leaves it untouched, and what a replacement keeps of the old file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/xattr.h>

#include "platform/file_lock.h"
#include "platform/update_file.h"
#include "save/file_save.h"
#include "test_files.h"

namespace {

namespace platform = velkor::platform;
using RewriteStatus = velkor::SaveStatus;
using RewriteWay = velkor::SaveWay;
using velkor::testing::Bytes;
using velkor::testing::TempDir;

Bytes filled(std::size_t size, uint8_t salt) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + salt * 7) % 251);
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

platform::FileIdentity identity_of(const std::string& path) {
    platform::FileSource source;
    EXPECT_EQ(source.open(path.c_str()), platform::FileProblem::kNone);
    return source.identity();
}

ino_t inode_of(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_ino;
}

// Names in the folder other than the ones the test made.
std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".velkor-") != std::string::npos) names.push_back(name);
    }
    return names;
}

const Bytes kHead = filled(40, 1);
const Bytes kAudio = filled(5000, 2);
const Bytes kTail = filled(128, 3);

velkor::NewFile change(const Bytes& head, const Bytes& tail) {
    velkor::NewFile rewrite;
    rewrite.head = head;
    rewrite.keep_from = static_cast<int64_t>(kHead.size());
    rewrite.keep_to = rewrite.keep_from + static_cast<int64_t>(kAudio.size());
    rewrite.tail = tail;
    return rewrite;
}

// The file as read, with the regions `file` replaces.
velkor::ReadState read_state(const std::string& path, const velkor::NewFile& file) {
    platform::FileSource source;
    velkor::ReadState state;
    EXPECT_EQ(source.open(path.c_str()), platform::FileProblem::kNone);
    EXPECT_TRUE(velkor::take_read_state(source, source.identity(), file.head.empty() ? 0 : file.keep_from,
                                        file.keep_to, state));
    return state;
}

velkor::SaveOutcome rewrite_file(const std::string& path, const velkor::NewFile& file,
                                 const velkor::SaveOptions& options = {}) {
    platform::FileLock lock;
    return velkor::save_file(path, lock, read_state(path, file), file, options);
}

TEST(FileRewrite, EachChangeTakesItsWayAndLeavesHeadAudioTail) {
    const Bytes other_head = filled(40, 4), long_head = filled(300, 5);
    const Bytes other_tail = filled(128, 6), more = filled(10, 7);
    const Bytes tail_start(kTail.begin(), kTail.begin() + 32);
    struct Case {
        const char* what;
        Bytes old_tail, head, tail;
        RewriteWay way;
        int64_t written;
    };
    const Case cases[] = {
        {"nothing differs", kTail, kHead, kTail, RewriteWay::kNone, 0},
        {"a new head as long", kTail, other_head, kTail, RewriteWay::kInPlace, 40},
        {"a new tail as long", kTail, kHead, other_tail, RewriteWay::kInPlace, 128},
        {"a tail where none was", {}, kHead, kTail, RewriteWay::kInPlace, 128},
        {"a tail grown at its end", kTail, kHead, kTail + more, RewriteWay::kInPlace, 10},
        {"the tail removed", kTail, kHead, {}, RewriteWay::kInPlace, 0},
        {"the tail cut short", kTail, kHead, tail_start, RewriteWay::kInPlace, 0},
        {"a longer head", kTail, long_head, kTail, RewriteWay::kReplaced, 300 + 5000 + 128},
        {"head and tail both new, each within a page", kTail, other_head, other_tail, RewriteWay::kInPlace, 40 + 128},
        {"a new tail of another length", kTail, kHead, more, RewriteWay::kReplaced, 40 + 5000 + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.write("song.mp3", kHead + kAudio + c.old_tail);
        chmod(path.c_str(), 0640);
        const ino_t inode = inode_of(path);
        const auto before = identity_of(path);

        const auto outcome = rewrite_file(path, change(c.head, c.tail));
        EXPECT_EQ(outcome.status, RewriteStatus::kDone);
        EXPECT_EQ(outcome.way, c.way);
        EXPECT_EQ(outcome.bytes_written, c.written);
        EXPECT_EQ(contents(path), c.head + kAudio + c.tail);
        EXPECT_EQ(inode_of(path) == inode, c.way != RewriteWay::kReplaced);
        if (c.way == RewriteWay::kNone) {
            EXPECT_EQ(identity_of(path), before);
        }
        (void)before;
        struct stat info {};
        stat(path.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_TRUE(leftovers(dir.path("")).empty());
    }
}

TEST(FileRewrite, RefusalsAndDryRunsLeaveTheFileAsItWas) {
    TempDir dir;
    const Bytes old = kHead + kAudio + kTail;
    const std::string path = dir.write("song.mp3", old);
    const auto grow = change(filled(300, 5), kTail);

    platform::FileLock lock;
    velkor::ReadState stale = read_state(path, grow);
    stale.identity.changed_nanoseconds += 1;
    EXPECT_EQ(velkor::save_file(path, lock, stale, grow, {}).status, RewriteStatus::kChanged);
    // The same file, other bytes where a tag was read.
    stale = read_state(path, grow);
    stale.tail_sum += 1;
    EXPECT_EQ(velkor::save_file(path, lock, stale, grow, {}).status, RewriteStatus::kChanged);

    velkor::SaveOptions dry;
    dry.dry_run = true;
    const auto planned = rewrite_file(path, grow, dry);
    EXPECT_EQ(planned.status, RewriteStatus::kDone);
    EXPECT_EQ(planned.way, RewriteWay::kReplaced);
    EXPECT_EQ(planned.bytes_planned, 300 + 5000 + 128);
    EXPECT_EQ(planned.bytes_written, 0);

    platform::FileLock none;
    EXPECT_EQ(velkor::save_file(dir.path("missing.mp3"), none, stale, grow, {}).problem,
              platform::FileProblem::kNotFound);
    auto beyond = grow;
    const velkor::ReadState read = read_state(path, grow);
    beyond.keep_to = static_cast<int64_t>(old.size()) + 1;
    EXPECT_EQ(velkor::save_file(path, lock, read, beyond, {}).status, RewriteStatus::kFailed);

    EXPECT_EQ(contents(path), old);
    EXPECT_TRUE(leftovers(dir.path("")).empty());
}

// A change in place reaches every name of the file; a replacement is
// refused unless the caller lets this name part from the others.
TEST(FileRewrite, LinkedFilesChangeTogetherOrPartOnlyWhenAllowed) {
    TempDir dir;
    const Bytes old = kHead + kAudio + kTail;
    const std::string path = dir.write("song.mp3", old), other = dir.path("link.mp3");
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);

    const auto grow = change(filled(300, 5), kTail);
    EXPECT_EQ(rewrite_file(path, grow).status, RewriteStatus::kLinked);
    EXPECT_EQ(contents(path), old);

    const auto same_size = change(filled(40, 4), kTail);
    EXPECT_EQ(rewrite_file(path, same_size).way, RewriteWay::kInPlace);
    EXPECT_EQ(contents(other), filled(40, 4) + kAudio + kTail);

    velkor::SaveOptions part;
    part.break_links = true;
    const auto parted = rewrite_file(path, change(kHead, kTail), part);
    EXPECT_EQ(parted.way, RewriteWay::kReplaced);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(contents(other), filled(40, 4) + kAudio + kTail);
}

// A change is written in place only where it lies within one 4 KiB page
// (a kill cannot tear it there); else the file is replaced.
TEST(FileSave, InPlaceOnlyWithinOnePage) {
    struct Case {
        const char* what;
        std::size_t head, audio;
        std::vector<std::size_t> head_changes, tail_changes;  // offsets within head and tail
        std::size_t tail, new_tail;                             // sizes
        RewriteWay way;
        int64_t written;
    };
    const Case cases[] = {
        {"a change deep in a large head", 8192, 1000, {5000, 5009}, {}, 128, 128, RewriteWay::kInPlace, 10},
        {"changes on two pages of the head", 8192, 1000, {100, 5000}, {}, 128, 128, RewriteWay::kReplaced, 0},
        {"a tail change across a page's end", 40, 4000, {}, {0, 127}, 128, 128, RewriteWay::kReplaced, 0},
        {"a tail change before a page's end", 40, 4000, {}, {0, 10}, 128, 128, RewriteWay::kInPlace, 11},
        {"head and tail, each within a page", 40, 5000, {3, 4}, {5}, 128, 128, RewriteWay::kInPlace, 3},
        {"an append across a page's end", 40, 4010, {}, {}, 0, 128, RewriteWay::kReplaced, 0},
        {"an append within a page", 40, 3000, {}, {}, 0, 128, RewriteWay::kInPlace, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const Bytes head = filled(c.head, 1), audio = filled(c.audio, 2), tail = filled(c.tail, 3);
        const std::string path = dir.write("song.mp3", head + audio + tail);
        velkor::NewFile file;
        file.head = head;
        for (std::size_t at : c.head_changes) file.head[at] ^= 0xFF;
        file.keep_from = static_cast<int64_t>(c.head);
        file.keep_to = file.keep_from + static_cast<int64_t>(c.audio);
        file.tail = c.new_tail == c.tail ? tail : filled(c.new_tail, 3);
        for (std::size_t at : c.tail_changes) file.tail[at] ^= 0xFF;
        const ino_t inode = inode_of(path);
        const auto outcome = rewrite_file(path, file);
        EXPECT_EQ(outcome.status, RewriteStatus::kDone);
        EXPECT_EQ(outcome.way, c.way);
        if (c.way == RewriteWay::kInPlace) {
            EXPECT_EQ(outcome.bytes_written, c.written);
        }
        EXPECT_EQ(inode_of(path) == inode, c.way == RewriteWay::kInPlace);
        EXPECT_EQ(contents(path), file.head + audio + file.tail);
    }
}

// A replacement keeps extended attributes, holes and, when asked, the
// times; a name as long as a folder allows can be replaced.
TEST(FileSave, ReplacementKeepsWhatTheOldFileHad) {
    TempDir dir;
    const std::string names[] = {"song.mp3", std::string(251, 'n') + ".mp3"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        const std::string path = dir.write(name, kHead);
        // 8 MiB of hole between the head and the tail.
        const int64_t hole = int64_t{8} << 20;
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kHead.size()) + hole), 0);
        std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(kTail.data()),
                                                                     static_cast<std::streamsize>(kTail.size()));
        chmod(path.c_str(), 0640);
        const bool xattrs = setxattr(path.c_str(), "user.velkor_test", "kept", 4, 0) == 0;
        const struct timespec times[2] = {{1000000000, 5}, {1000000000, 123456789}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

        velkor::NewFile file;
        file.head = filled(300, 5);
        file.keep_from = static_cast<int64_t>(kHead.size());
        file.keep_to = file.keep_from + hole;
        file.tail = kTail;
        velkor::SaveOptions keep_times;
        keep_times.preserve_times = true;
        const auto outcome = rewrite_file(path, file, keep_times);
        ASSERT_EQ(outcome.status, RewriteStatus::kDone);
        EXPECT_EQ(outcome.way, RewriteWay::kReplaced);

        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, static_cast<off_t>(300 + hole + 128));
        EXPECT_LT(info.st_blocks * 512, int64_t{1} << 20) << "the hole is kept";
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
        EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
        char value[16] = {};
        if (xattrs) {
            EXPECT_EQ(getxattr(path.c_str(), "user.velkor_test", value, sizeof value), 4);
            EXPECT_STREQ(value, "kept");
        }
        const Bytes now = contents(path);
        EXPECT_TRUE(std::equal(file.head.begin(), file.head.end(), now.begin()));
        EXPECT_TRUE(std::equal(kTail.begin(), kTail.end(), now.end() - static_cast<std::ptrdiff_t>(kTail.size())));
        EXPECT_TRUE(leftovers(dir.path("")).empty());
        unlink(path.c_str());
    }
}

}  // namespace
