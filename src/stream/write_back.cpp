// Writing a file's ID3v1 tag: the analysis object's write_tag and the
// rewrite behind velkor's own interface, both through one writer, the only
// code that writes into a user's file. It changes nothing but the 128
// bytes of the tag: it overwrites the last 128 bytes only while the file's
// layout calls them its ID3v1 tag, otherwise appends, and undoes a write that fails part-way. Each
// write is one call of all 128 bytes, after the room for it was checked
// (and reserved where the file system can), so that a process killed at
// any moment leaves the file with its old bytes or the new ones.
#include <algorithm>
#include <cstring>
#include <vector>

#include "stream/write_back.h"

#include "base/decimal_text.h"
#include "base/utf8.h"
#include "layout/file_layout.h"
#include "platform/update_file.h"
#include "stream/mp3_file_info.h"

namespace velkor {

namespace {

constexpr std::size_t kBlockSize = TagRecord::kId3v1Size;
constexpr std::size_t kYearAt = 93;
constexpr std::size_t kYearWidth = 4;
using Block = uint8_t[kBlockSize];

// "n/a" leaves a field as it is; so does a missing text.
bool is_skip(const char* text) { return text == nullptr || std::strcmp(text, kNotAvailable) == 0; }

int32_t number_of(const char* text) { return decimal_value(text, static_cast<std::size_t>(-1)); }

// The file being written, as bytes for its layout: whether its last 128
// bytes are its ID3v1 tag is the layout's to say, not a "TAG" alone (an APE
// tag's last 128 bytes may begin with one).
class UpdateFileBytes final : public ByteSource {
public:
    UpdateFileBytes(platform::UpdateFile& file, int64_t size) : file_(file), size_(size) {}
    ByteSpan bytes(int64_t offset, std::size_t n) override {
        if (offset < 0 || offset >= size_) return ByteSpan();
        n = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset));
        held_.resize(n);
        if (!file_.read_at(offset, held_.data(), n)) {
            failed_ = true;
            return ByteSpan();
        }
        return ByteSpan(held_.data(), n);
    }
    bool failed() const { return failed_; }

private:
    platform::UpdateFile& file_;
    int64_t size_;
    std::vector<uint8_t> held_;
    bool failed_ = false;
};

// The one writer of ID3v1 tags. It opens the file, reads the tag the file
// ends with now (whatever it held when it was analysed), has make(old,
// block) build the new block from it (old is null without a tag), and
// writes the block over that tag or behind the file's last byte. A failed
// write leaves the file as it was: an append is cut back to the old size,
// the old tag is put back over a half-written one. Only a regular file is
// written.
template <typename Make>
Rewrite write_block(const std::string& path, bool utf8_path, Make make) {
    Rewrite result;
    platform::UpdateFile file(path, utf8_path);
    const int64_t size = file.is_open() ? file.size() : -1;
    if (size < 0) {
        result.problem = file.problem();
        return result;
    }
    // A tag that cannot be read is not taken for none: a second tag would
    // be appended behind it.
    Block old = {};
    const bool has_room = size >= static_cast<int64_t>(kBlockSize);
    if (has_room && !file.read_at(size - static_cast<int64_t>(kBlockSize), old, kBlockSize)) {
        result.problem = file.problem();
        return result;
    }
    bool replace = false;
    if (has_room && std::memcmp(old, "TAG", 3) == 0) {
        UpdateFileBytes bytes(file, size);
        replace = describe_file(bytes, size).id3v1_begin == size - static_cast<int64_t>(kBlockSize);
        if (bytes.failed()) {
            result.problem = file.problem();
            return result;
        }
    }
    Block block = {};
    make(replace ? &old : nullptr, block);
    const int64_t offset = replace ? size - static_cast<int64_t>(kBlockSize) : size;
    if (!file.prepare(size, offset + static_cast<int64_t>(kBlockSize))) {
        result.problem = file.problem();
        return result;
    }
    if (!file.write_at(offset, block, kBlockSize)) {
        result.problem = file.problem();
        if (replace) {
            file.write_at(offset, old, kBlockSize);
        } else {
            file.resize(size);
        }
        return result;
    }
    // The block is written and synced: a failure the close reports now
    // cannot concern it, so the write stands.
    file.close();
    result.written = true;
    result.appended = !replace;
    return result;
}

}  // namespace

int32_t Mp3FileInfo::write_tag(const char* title, const char* artist, const char* album,
                               const char* year, const char* comment, const char* track,
                               const char* genre) {
    // The record keeps these changes whatever happens to the file.
    if (!is_skip(title)) tag.set_title(title);
    if (!is_skip(artist)) tag.set_artist(artist);
    if (!is_skip(album)) tag.set_album(album);
    if (!is_skip(year)) tag.set_year(number_of(year));
    if (!is_skip(comment)) tag.set_comment(comment);
    if (!is_skip(track)) tag.set_track(number_of(track));
    if (!is_skip(genre)) tag.set_genre_name(genre);

    Block block = {};
    int32_t result = kStatusNoTagBlock;
    if (tag.to_id3v1(block)) {
        const Rewrite written = write_block(path, false, [&](const Block*, Block& out) {
            std::memcpy(out, block, kBlockSize);
        });
        result = written.written ? kStatusOk : kStatusWriteFailed;
        // A second write then replaces this tag instead of adding another.
        if (written.appended) has_id3v1 = 1;
    }
    if (result != kStatusOk) show_error_notice(result, "");
    return result;
}

void make_id3v1_block(const uint8_t* old, const Id3v1Edit& edit, uint8_t (&block)[TagRecord::kId3v1Size]) {
    TagRecord record;
    if (old) record.read_id3v1(ByteSpan(old, kBlockSize));
    const bool kept_year = old && old[kYearAt] != 0;

    const std::size_t room = TagRecord::kTextSize - 1;
    if (edit.fields & Id3v1Edit::kTitle) record.set_title(utf8_to_latin1(edit.title, room).c_str());
    if (edit.fields & Id3v1Edit::kArtist) record.set_artist(utf8_to_latin1(edit.artist, room).c_str());
    if (edit.fields & Id3v1Edit::kAlbum) record.set_album(utf8_to_latin1(edit.album, room).c_str());
    if (edit.fields & Id3v1Edit::kComment) record.set_comment(utf8_to_latin1(edit.comment, room).c_str());
    if (edit.fields & Id3v1Edit::kYear) record.year = edit.year;
    if (edit.fields & Id3v1Edit::kTrack) record.set_track(edit.track == 0 ? kNoTrack : edit.track);
    if (edit.fields & Id3v1Edit::kGenre) record.set_genre(edit.genre);
    // A new tag without a track is an ID3v1.1 tag only when given one.
    if (!old && !(edit.fields & Id3v1Edit::kTrack)) record.set_track(kNoTrack);

    record.to_id3v1(block);
    // Year 0 is no year: the field stays empty rather than "0".
    const bool year_given = (edit.fields & Id3v1Edit::kYear) ? edit.year != 0 : kept_year;
    if (!year_given) std::memset(block + kYearAt, 0, kYearWidth);
}

Rewrite rewrite_id3v1(const std::string& path, bool utf8_path, const Id3v1Edit& edit) {
    return write_block(path, utf8_path, [&edit](const Block* old, Block& block) {
        make_id3v1_block(old ? *old : nullptr, edit, block);
    });
}

}  // namespace velkor
