// The ID3v1 block, the 128 bytes at the end of a file, versions 1.0 and
// 1.1: read into the tag record and made from it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/decimal_text.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

// Offsets and widths inside the block.
constexpr std::size_t kTitleAt = 3;
constexpr std::size_t kArtistAt = 33;
constexpr std::size_t kAlbumAt = 63;
constexpr std::size_t kYearAt = 93;
constexpr std::size_t kCommentAt = 97;
constexpr std::size_t kTrackMarkAt = 125;  // zero in a version 1.1 block
constexpr std::size_t kTrackAt = 126;
constexpr std::size_t kGenreAt = 127;
constexpr std::size_t kTextWidth = 30;
constexpr std::size_t kYearWidth = 4;
constexpr std::size_t kShortCommentWidth = 28;  // version 1.1

// Clears the whole field first, so that a shorter copy leaves nothing of an
// earlier text behind it.
void read_field(TagRecord::Text& field, const uint8_t* src, std::size_t width) {
    std::memset(field, 0, sizeof field);
    trim_fixed_field(field, reinterpret_cast<const char*>(src), width);
}

}  // namespace

int32_t TagRecord::read_id3v1(ByteSpan block) {
    if (block.size < kId3v1Size || std::memcmp(block.data, "TAG", 3) != 0) {
        valid = 0;
        return 0;
    }
    const uint8_t* b = block.data;
    read_field(title, b + kTitleAt, kTextWidth);
    read_field(artist, b + kArtistAt, kTextWidth);
    read_field(album, b + kAlbumAt, kTextWidth);
    year = decimal_value(reinterpret_cast<const char*>(b + kYearAt), kYearWidth);
    if (b[kTrackMarkAt] == 0 && b[kTrackAt] != 0) {
        version = 1.1f;
        track = b[kTrackAt];
        read_field(comment, b + kCommentAt, kShortCommentWidth);
    } else {
        version = 1.0f;
        read_field(comment, b + kCommentAt, kTextWidth);
    }
    genre = b[kGenreAt];
    valid = 1;
    return 1;
}

int32_t TagRecord::to_id3v1(uint8_t (&block)[kId3v1Size]) const {
    std::memset(block, 0, sizeof block);
    std::memcpy(block, "TAG", 3);
    // Each trim writes a zero behind its field, which the next field then
    // overwrites; the comment's lands on the genre byte, set last.
    char* const out = reinterpret_cast<char*>(block);
    trim_fixed_field(out + kTitleAt, title, kTextWidth);
    trim_fixed_field(out + kArtistAt, artist, kTextWidth);
    trim_fixed_field(out + kAlbumAt, album, kTextWidth);
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%d", static_cast<int>(year));
    std::memcpy(out + kYearAt, digits, std::min<std::size_t>(static_cast<std::size_t>(length), kYearWidth));
    trim_fixed_field(out + kCommentAt, comment, kTextWidth);
    if (version == 1.1f) {
        // The track takes the comment's last two bytes.
        block[kTrackMarkAt] = 0;
        block[kTrackAt] = static_cast<uint8_t>(track & 0xFF);
    }
    block[kGenreAt] = genre;
    return 1;
}

}  // namespace velkor
