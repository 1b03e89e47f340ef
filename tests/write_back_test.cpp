// Writing the ID3v1 tag back into a file (velkor_write_id3v1): the fields
// set, and that no byte outside the tag's 128 ever changes, whatever happens to
// the file between loading and writing and whatever fails on the way.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tags/tag_record.h"
#include "velkor.h"

namespace {

using velkor::ByteSpan;
using velkor::TagRecord;

constexpr std::size_t kTagSize = 128;

// Bytes that stand for audio: varied, and never "TAG" where a tag would be.
std::string audio(std::size_t size, unsigned salt = 1) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + salt * 7) % 251);
    return bytes;
}

std::string block_of(const TagRecord& tag) {
    uint8_t block[kTagSize];
    tag.to_id3v1(block);
    return std::string(reinterpret_cast<const char*>(block), kTagSize);
}

std::string old_tag() {
    TagRecord tag;
    tag.set_title("Old title");
    tag.set_artist("Old artist");
    tag.set_album("Old album");
    tag.set_comment("Old comment");
    tag.year = 1990;
    tag.set_track(3);
    tag.genre = 8;
    return block_of(tag);
}

// Equal bytes, or where they first differ (files are too long to print).
::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at offset " << i;
}

TagRecord read_tag(const std::string& block) {
    TagRecord tag;
    EXPECT_EQ(tag.read_id3v1(ByteSpan(reinterpret_cast<const uint8_t*>(block.data()), block.size())),
              1);
    return tag;
}

// Ignores SIGXFSZ and limits the size of files this process writes, for its
// lifetime.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        old_handler_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit old_;
    void (*old_handler_)(int);
};

// Runs as an unprivileged user for its lifetime when the tests run as root,
// who could write any file regardless of its permissions.
class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;
    explicit Unprivileged(const std::string& path) : active_(geteuid() == 0) {
        if (!active_) return;
        EXPECT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
        EXPECT_EQ(seteuid(kNobody), 0);
    }
    ~Unprivileged() {
        if (active_) {
            EXPECT_EQ(seteuid(0), 0);
        }
    }

private:
    bool active_;
};

class WriteBack : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "velkor_write_back_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // Reachable by the unprivileged user of the read-only case.
        chmod(dir_.c_str(), 0755);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string make_file(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The title written the way the library's interface writes it.
    static int32_t export_title(const std::string& path, const char* title) {
        velkor_id3v1_fields fields = {};
        fields.size = sizeof fields;
        fields.fields = VELKOR_FIELD_TITLE;
        fields.title = title;
        return velkor_write_id3v1(path.c_str(), &fields);
    }

    std::string dir_;
};

TEST_F(WriteBack, MissingFileIsReportedAndNotCreated) {
    const std::string gone = dir_ + "/gone.mp3";
    EXPECT_EQ(export_title(gone, "Title"), VELKOR_ERROR_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_NE(export_title(dir_, "Title"), VELKOR_OK);  // a directory
}

TEST_F(WriteBack, ReplacesTheTagInPlace) {
    const std::string sound = audio(4000);
    const std::string path = make_file("a.mp3", sound + old_tag());
    velkor_id3v1_fields fields = {};
    fields.size = sizeof fields;
    fields.fields = VELKOR_FIELD_TITLE | VELKOR_FIELD_ALBUM | VELKOR_FIELD_YEAR | VELKOR_FIELD_TRACK | VELKOR_FIELD_GENRE;
    fields.title = "New title";
    fields.album = "New album";
    fields.year = 2005;
    fields.track = 12;
    fields.genre = 17;
    EXPECT_EQ(velkor_write_id3v1(path.c_str(), &fields), VELKOR_OK);
    const std::string after = contents(path);
    ASSERT_EQ(after.size(), sound.size() + kTagSize);
    EXPECT_TRUE(same_bytes(after.substr(0, sound.size()), sound));
    const TagRecord tag = read_tag(after.substr(sound.size()));
    EXPECT_STREQ(tag.title, "New title");
    EXPECT_STREQ(tag.artist, "Old artist");
    EXPECT_STREQ(tag.album, "New album");
    EXPECT_STREQ(tag.comment, "Old comment");
    EXPECT_EQ(tag.year, 2005);
    EXPECT_EQ(tag.get_track(), 12);
    EXPECT_EQ(tag.genre, 17);
}

TEST_F(WriteBack, AppendsOnceThenReplacesItsOwnTag) {
    const std::string sound = audio(3000);
    const std::string path = make_file("a.mp3", sound);
    EXPECT_EQ(export_title(path, "First"), 0);
    EXPECT_EQ(export_title(path, "Second"), 0);
    const std::string after = contents(path);
    ASSERT_EQ(after.size(), sound.size() + kTagSize);
    EXPECT_TRUE(same_bytes(after.substr(0, sound.size()), sound));
    EXPECT_STREQ(read_tag(after.substr(sound.size())).title, "Second");
}


TEST_F(WriteBack, ReadOnlyFileIsReportedAndUnchanged) {
    const std::string before = audio(2000) + old_tag();
    const std::string path = make_file("a.mp3", before);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    {
        Unprivileged user(path);
        EXPECT_EQ(export_title(path, "Title"), VELKOR_ERROR_NOT_PERMITTED);
        EXPECT_TRUE(same_bytes(contents(path), before));
    }
    // The same user may write it once it is writable: the failure was the
    // permission.
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    Unprivileged user(path);
    EXPECT_EQ(export_title(path, "Title"), VELKOR_OK);
}

TEST_F(WriteBack, FileThatLostItsTagGetsOneAppended) {
    // Loaded with a tag, then cut short (to below the tag's size, too):
    // what is left is audio and stays as it is.
    for (std::size_t kept : {std::size_t{3000}, std::size_t{2999}, std::size_t{100}, std::size_t{0}}) {
        const std::string path = make_file("a.mp3", audio(3000) + old_tag());
        std::filesystem::resize_file(path, kept);
        EXPECT_EQ(export_title(path, "Title"), VELKOR_OK);
        const std::string after = contents(path);
        ASSERT_EQ(after.size(), kept + kTagSize) << kept;
        EXPECT_TRUE(same_bytes(after.substr(0, kept), audio(3000).substr(0, kept)));
        EXPECT_STREQ(read_tag(after.substr(kept)).title, "Title");
    }
}

TEST_F(WriteBack, FileThatGrewAfterItsTagKeepsEveryByte) {
    const std::string path = make_file("a.mp3", audio(3000) + old_tag());
    const std::string grown = audio(3000) + old_tag() + audio(500, 9);
    make_file("a.mp3", grown);
    EXPECT_EQ(export_title(path, "Title"), 0);
    EXPECT_EQ(export_title(path, "Title"), VELKOR_OK) << "the tag written just now is replaced";
    const std::string after = contents(path);
    ASSERT_EQ(after.size(), grown.size() + kTagSize);
    EXPECT_TRUE(same_bytes(after.substr(0, grown.size()), grown));
}

TEST_F(WriteBack, ReplacedFileHasOnlyItsTagReplaced) {
    const std::string path = make_file("a.mp3", audio(3000) + old_tag());

    // Another file with a tag moved over the loaded one.
    const std::string other = audio(5000, 3);
    std::filesystem::rename(make_file("b.mp3", other + old_tag()), path);
    EXPECT_EQ(export_title(path, "Title"), 0);
    EXPECT_EQ(export_title(path, "Title"), VELKOR_OK);
    std::string after = contents(path);
    ASSERT_EQ(after.size(), other.size() + kTagSize);
    EXPECT_TRUE(same_bytes(after.substr(0, other.size()), other));

    // And one without a tag.
    std::filesystem::rename(make_file("c.mp3", other), path);
    EXPECT_EQ(export_title(path, "Title"), 0);
    after = contents(path);
    ASSERT_EQ(after.size(), other.size() + kTagSize);
    EXPECT_TRUE(same_bytes(after.substr(0, other.size()), other));
}

TEST_F(WriteBack, AppendThatFailsPartWayIsUndone) {
    const std::string before = audio(4096);
    for (std::size_t room : {std::size_t{0}, std::size_t{1}, std::size_t{50}, std::size_t{127}}) {
        const std::string path = make_file("a.mp3", before);
        int32_t result;
        {
            FileSizeLimit limit(before.size() + room);
            result = export_title(path, "Title");
        }
        SCOPED_TRACE(room);
        EXPECT_EQ(result, VELKOR_ERROR_NO_SPACE);
        EXPECT_TRUE(same_bytes(contents(path), before));
    }
}

TEST_F(WriteBack, ReplacingNeedsNoRoomBeyondTheFile) {
    const std::string sound = audio(4096);
    const std::string path = make_file("a.mp3", sound + old_tag());
    int32_t result;
    {
        FileSizeLimit limit(sound.size() + kTagSize);
        result = export_title(path, "Title");
    }
    EXPECT_EQ(result, VELKOR_OK);
    const std::string after = contents(path);
    EXPECT_TRUE(same_bytes(after.substr(0, sound.size()), sound));
    EXPECT_STREQ(read_tag(after.substr(sound.size())).title, "Title");
}

// Runs body in a child process that has a file system of `size` bytes
// mounted at dir, in a mount namespace of its own: the mount is gone with
// the child whatever happens, and nobody else ever sees it. Returns "" when
// body ran without failures, else why the child could not run it or that it
// failed (its failures are printed by the child). Mounting needs
// CAP_SYS_ADMIN; reasons starting with "cannot mount" mean it is missing.
template <typename Body>
std::string with_small_file_system(const std::string& dir, const char* size, Body body) {
    int reason[2];
    if (pipe(reason) != 0) return "pipe failed";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        close(reason[0]);
        const std::string options = std::string("size=") + size;
        // Private first, so that the mount below never propagates outward.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            const std::string why = std::string("cannot mount a small file system: ") + std::strerror(errno);
            (void)!write(reason[1], why.data(), why.size());
            _exit(77);
        }
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    close(reason[1]);
    char text[200] = {};
    (void)!read(reason[0], text, sizeof text - 1);
    close(reason[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return text;
    return "the child failed (see above)";
}

// Fills the file system that holds dir until it has no room left.
void fill_up(const std::string& dir) {
    std::FILE* filler = std::fopen((dir + "/filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::string chunk(4096, 'f');
    while (std::fwrite(chunk.data(), 1, chunk.size(), filler) == chunk.size()) {
    }
    while (std::fwrite(chunk.data(), 1, 1, filler) == 1) {
    }
    std::fclose(filler);
}

TEST_F(WriteBack, FullFileSystem) {
    // Whole pages of audio, so that an appended tag needs a page more.
    const std::string sound = audio(8192);
    const std::string why = with_small_file_system(dir_, "64k", [&] {
        const std::string append_path = make_file("append.mp3", sound);
        const std::string replace_path = make_file("replace.mp3", sound.substr(0, 8192 - kTagSize) + old_tag());
        fill_up(dir_);

        // No room for the appended tag: reported, the file as it was.
        EXPECT_EQ(export_title(append_path, "Title"), VELKOR_ERROR_NO_SPACE);
        EXPECT_TRUE(same_bytes(contents(append_path), sound));

        // A tag written over the old one needs no room at all.
        EXPECT_EQ(export_title(replace_path, "Title"), VELKOR_OK);
        const std::string after = contents(replace_path);
        ASSERT_EQ(after.size(), sound.size());
        EXPECT_TRUE(same_bytes(after.substr(0, 8192 - kTagSize), sound.substr(0, 8192 - kTagSize)));
        EXPECT_STREQ(read_tag(after.substr(8192 - kTagSize)).title, "Title");
    });
    if (why.rfind("cannot mount", 0) == 0) GTEST_SKIP() << why;
    EXPECT_EQ(why, "");
}

}  // namespace
