// Writing the ID3v1 tag back into the file an object was loaded from: the
// only code that writes into a user's file. It changes nothing but the 128
// bytes of the tag: it overwrites the last 128 bytes only while they still
// hold a tag, otherwise appends, and undoes an append that fails part-way.
#include <cstring>

#include "platform/update_file.h"
#include "stream/mp3_file_info.h"
#include "base/decimal_text.h"

namespace velkor {

namespace {

constexpr std::size_t kBlockSize = TagRecord::kId3v1Size;
using Block = uint8_t[kBlockSize];

// "n/a" leaves a field as it is; so does a missing text.
bool is_skip(const char* text) { return text == nullptr || std::strcmp(text, kNotAvailable) == 0; }

int32_t number_of(const char* text) { return decimal_value(text, static_cast<std::size_t>(-1)); }

// Where the block goes: over the tag the file ends with when it was loaded
// with one and still has it, else behind the file's last byte. `appended`
// tells which was done.
int32_t put_block(const std::string& path, bool had_tag, const Block& block, bool& appended) {
    appended = false;
    platform::UpdateFile file(path);
    if (!file.is_open()) return kStatusWriteFailed;
    const int64_t size = file.size();
    if (size < 0) return kStatusWriteFailed;

    Block old = {};
    const bool replace = had_tag && size >= static_cast<int64_t>(kBlockSize) &&
                         file.read_at(size - kBlockSize, old, kBlockSize) && std::memcmp(old, "TAG", 3) == 0;
    const int64_t offset = replace ? size - static_cast<int64_t>(kBlockSize) : size;
    if (!file.write_at(offset, block, kBlockSize)) {
        // Leave the file as it was: cut an append back to the old size, put
        // the old tag back over a half-written one.
        if (replace) {
            file.write_at(offset, old, kBlockSize);
        } else {
            file.resize(size);
        }
        return kStatusWriteFailed;
    }
    if (!file.close()) return kStatusWriteFailed;
    appended = !replace;
    return kStatusOk;
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
        bool appended = false;
        result = put_block(path, has_id3v1 != 0, block, appended);
        // A second write then replaces this tag instead of adding another.
        if (appended) has_id3v1 = 1;
    }
    if (result != kStatusOk) show_error_notice(result, "");
    return result;
}

}  // namespace velkor
