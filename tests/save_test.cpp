// What a save keeps, through the public interface: the bytes of ID3v1
// fields no change touches (removing the ID3v2 tag included), the file a
// symbolic link names, a second edit of the file in the same process, and
// the bound on pictures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "test_files.h"
#include "velkor.h"

namespace {

using velkor::testing::Bytes;
using velkor::testing::TempDir;

Bytes contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The sample with its ID3v1 texts padded with spaces, as some taggers write them.
Bytes spaced_sample() {
    Bytes bytes = contents(VELKOR_SAMPLES_DIR "/cbr_id3v11.mp3");
    const std::size_t tag = bytes.size() - 128;
    for (std::size_t field : {3u, 33u, 63u}) {
        for (std::size_t i = field; i < field + 30; ++i) {
            if (bytes[tag + i] == 0) bytes[tag + i] = ' ';
        }
    }
    return bytes;
}

// The offsets of the last 128 bytes that differ.
std::vector<std::size_t> changed_id3v1_bytes(const Bytes& before, const Bytes& after) {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < 128; ++i) {
        if (before[before.size() - 128 + i] != after[after.size() - 128 + i]) changed.push_back(i);
    }
    return changed;
}

TEST(Save, Id3v1FieldsNotChangedKeepTheirBytes) {
    struct Case {
        const char* what;
        std::function<void(velkor_edit*)> change;
        std::size_t from, to;  // the bytes that may change; none when equal
    };
    const Case cases[] = {
        {"the ID3v2 tag removed", [](velkor_edit* e) { velkor_edit_remove_tag(e, VELKOR_TAG_ID3V2); }, 0, 0},
        {"a field ID3v1 has not",
         [](velkor_edit* e) { velkor_edit_set_field(e, VELKOR_ID3V2_COMPOSER, "Someone"); }, 0, 0},
        {"the title", [](velkor_edit* e) { velkor_edit_set_field(e, VELKOR_ID3V2_TITLE, "New"); }, 3, 33},
        {"the same title", [](velkor_edit* e) { velkor_edit_set_field(e, VELKOR_ID3V2_TITLE, "Sine Tone"); }, 0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const Bytes before = spaced_sample();
        const std::string path = dir.write("a.mp3", before);
        velkor_edit* edit = nullptr;
        ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
        c.change(edit);
        EXPECT_EQ(velkor_edit_save(edit, 0, nullptr), VELKOR_OK);
        velkor_edit_close(edit);
        for (std::size_t at : changed_id3v1_bytes(before, contents(path))) {
            EXPECT_TRUE(at >= c.from && at < c.to) << "byte " << at;
        }
    }
    // velkor_write_id3v1 the same way.
    TempDir dir;
    const Bytes before = spaced_sample();
    const std::string path = dir.write("b.mp3", before);
    velkor_id3v1_fields fields{sizeof fields, VELKOR_FIELD_ARTIST, nullptr, "Other", nullptr, nullptr, 0, 0, 255};
    ASSERT_EQ(velkor_write_id3v1(path.c_str(), &fields), VELKOR_OK);
    for (std::size_t at : changed_id3v1_bytes(before, contents(path))) {
        EXPECT_TRUE(at >= 33 && at < 63) << "byte " << at;
    }
}

// A link's file is saved in its own folder; the link stays a link, even
// when the save must write a new file.
TEST(Save, ASymbolicLinkSavesTheFileItNames) {
    TempDir dir;
    const std::string real = dir.write("real.mp3", contents(VELKOR_SAMPLES_DIR "/cbr_id3v11.mp3"));
    const std::string link = dir.path("link.mp3");
    ASSERT_EQ(symlink("real.mp3", link.c_str()), 0);
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(link.c_str(), 0, &edit), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(edit, VELKOR_ID3V2_TITLE, "Linked"), VELKOR_OK);
    velkor_save_report report{};
    report.size = sizeof report;
    EXPECT_EQ(velkor_edit_save(edit, 0, &report), VELKOR_OK);
    EXPECT_EQ(report.way, VELKOR_SAVED_REPLACED);
    velkor_edit_close(edit);
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    velkor_file* file = nullptr;
    ASSERT_EQ(velkor_open(real.c_str(), 0, &file), VELKOR_OK);
    EXPECT_STREQ(velkor_text(file, VELKOR_ID3V2_TITLE), "Linked");
    velkor_close(file);
}

// Two edits of one file in one process share the save lock rather than
// wait for each other; the second save finds the file changed.
TEST(Save, ASecondEditInTheSameProcessFindsTheFileChanged) {
    TempDir dir;
    const std::string path = dir.write("a.mp3", contents(VELKOR_SAMPLES_DIR "/id3v24_utf8_cover.mp3"));
    velkor_edit *first = nullptr, *second = nullptr;
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &first), VELKOR_OK);
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &second), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(first, VELKOR_ID3V2_TITLE, "First"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_set_field(second, VELKOR_ID3V2_ALBUM, "Second"), VELKOR_OK);
    EXPECT_EQ(velkor_edit_save(first, 0, nullptr), VELKOR_OK);
    EXPECT_EQ(velkor_edit_save(second, 0, nullptr), VELKOR_ERROR_CHANGED);
    // Saved once, the first edit has nothing left to save.
    EXPECT_EQ(velkor_edit_save(first, 0, nullptr), VELKOR_OK);
    velkor_edit_close(first);
    velkor_edit_close(second);
}

TEST(Save, PicturesAreBoundedTo16MiB) {
    TempDir dir;
    const std::string path = dir.write("a.mp3", contents(VELKOR_SAMPLES_DIR "/cbr_id3v11.mp3"));
    velkor_edit* edit = nullptr;
    ASSERT_EQ(velkor_edit_open(path.c_str(), 0, &edit), VELKOR_OK);
    std::string picture = "\x89PNG\r\n\x1A\n";
    picture.resize((16u << 20) + 1);
    EXPECT_EQ(velkor_edit_add_picture(edit, 3, nullptr, nullptr, picture.data(), static_cast<int32_t>(picture.size())),
              VELKOR_ERROR_ARGUMENT);
    picture.resize(16u << 20);
    EXPECT_EQ(velkor_edit_add_picture(edit, 3, nullptr, nullptr, picture.data(), static_cast<int32_t>(picture.size())),
              VELKOR_OK);
    velkor_edit_close(edit);
}

}  // namespace
