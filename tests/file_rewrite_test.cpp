// Giving a file new tags: which way each kind of change takes, that the
// file ends as exactly the head, the kept audio and the tail, and what is
// refused (a changed file, a linked one, a dry run) leaves it untouched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_rewrite.h"
#include "test_files.h"

namespace {

namespace platform = velkor::platform;
using platform::RewriteStatus;
using platform::RewriteWay;
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

platform::FileRewrite change(const Bytes& head, const Bytes& tail) {
    platform::FileRewrite rewrite;
    rewrite.head = head;
    rewrite.keep_from = static_cast<int64_t>(kHead.size());
    rewrite.keep_to = rewrite.keep_from + static_cast<int64_t>(kAudio.size());
    rewrite.tail = tail;
    return rewrite;
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
        {"head and tail both new", kTail, other_head, other_tail, RewriteWay::kReplaced, 40 + 5000 + 128},
        {"a new tail of another length", kTail, kHead, more, RewriteWay::kReplaced, 40 + 5000 + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.write("song.mp3", kHead + kAudio + c.old_tail);
        chmod(path.c_str(), 0640);
        const ino_t inode = inode_of(path);
        const auto before = identity_of(path);

        const auto outcome = platform::rewrite_file(path, before, change(c.head, c.tail));
        EXPECT_EQ(outcome.status, RewriteStatus::kDone);
        EXPECT_EQ(outcome.way, c.way);
        EXPECT_EQ(outcome.bytes_written, c.written);
        EXPECT_EQ(contents(path), c.head + kAudio + c.tail);
        EXPECT_EQ(inode_of(path) == inode, c.way != RewriteWay::kReplaced);
        if (c.way == RewriteWay::kNone) {
            EXPECT_EQ(identity_of(path), before);
        }
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

    platform::FileIdentity stale = identity_of(path);
    stale.modified_nanoseconds += 1;
    EXPECT_EQ(platform::rewrite_file(path, stale, grow).status, RewriteStatus::kChanged);

    platform::RewriteOptions dry;
    dry.dry_run = true;
    const auto planned = platform::rewrite_file(path, identity_of(path), grow, dry);
    EXPECT_EQ(planned.status, RewriteStatus::kDone);
    EXPECT_EQ(planned.way, RewriteWay::kReplaced);
    EXPECT_EQ(planned.bytes_planned, 300 + 5000 + 128);
    EXPECT_EQ(planned.bytes_written, 0);

    EXPECT_EQ(platform::rewrite_file(dir.path("missing.mp3"), stale, grow).problem,
              platform::FileProblem::kNotFound);
    auto beyond = grow;
    beyond.keep_to = static_cast<int64_t>(old.size()) + 1;
    EXPECT_EQ(platform::rewrite_file(path, identity_of(path), beyond).status, RewriteStatus::kFailed);

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
    EXPECT_EQ(platform::rewrite_file(path, identity_of(path), grow).status, RewriteStatus::kLinked);
    EXPECT_EQ(contents(path), old);

    const auto same_size = change(filled(40, 4), kTail);
    EXPECT_EQ(platform::rewrite_file(path, identity_of(path), same_size).way, RewriteWay::kInPlace);
    EXPECT_EQ(contents(other), filled(40, 4) + kAudio + kTail);

    platform::RewriteOptions part;
    part.break_links = true;
    const auto parted = platform::rewrite_file(path, identity_of(path), change(kHead, kTail), part);
    EXPECT_EQ(parted.way, RewriteWay::kReplaced);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(contents(other), filled(40, 4) + kAudio + kTail);
}

}  // namespace
