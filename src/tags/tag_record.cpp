// The tag record's text fields: the fixed-field trim shared by ID3v1 reading
// and writing, the text queries and setters, and the track query.
#include "tags/tag_record.h"

#include <cstring>

#include "platform/bounded_copy.h"

namespace velkor {

namespace {

constexpr std::size_t kMaxChars = TagRecord::kTextSize - 1;

// Copies text up to its zero byte, at most 30 characters, and zero-fills the
// rest of the field: nothing of an earlier, longer text stays behind it.
void store_text(TagRecord::Text& field, const char* text) {
    std::size_t n = 0;
    if (text) {
        while (n < kMaxChars && text[n] != '\0') ++n;
        std::memcpy(field, text, n);
    }
    std::memset(field + n, 0, TagRecord::kTextSize - n);
}

// The fields are public, so a query does not rely on them being terminated.
void copy_text(TagRecord::Text& out, const TagRecord::Text& field) {
    bounded_copy(out, field);
}

}  // namespace

void trim_fixed_field(char* dest, const char* src, std::size_t length) {
    std::size_t end = length;  // one past the last byte kept
    while (end > 0 && (src[end - 1] == ' ' || src[end - 1] == '\0')) {
        dest[end - 1] = '\0';
        --end;
    }
    std::memcpy(dest, src, end);
    dest[length] = '\0';
}

void TagRecord::get_title(Text& out) const { copy_text(out, title); }
void TagRecord::get_artist(Text& out) const { copy_text(out, artist); }
void TagRecord::get_album(Text& out) const { copy_text(out, album); }
void TagRecord::get_comment(Text& out) const { copy_text(out, comment); }
void TagRecord::get_v2_title(Text& out) const { copy_text(out, v2_title); }
void TagRecord::get_v2_artist(Text& out) const { copy_text(out, v2_artist); }
void TagRecord::get_v2_album(Text& out) const { copy_text(out, v2_album); }
void TagRecord::get_v2_comment(Text& out) const { copy_text(out, v2_comment); }

void TagRecord::set_title(const char* text) { store_text(title, text); }
void TagRecord::set_artist(const char* text) { store_text(artist, text); }
void TagRecord::set_album(const char* text) { store_text(album, text); }
void TagRecord::set_comment(const char* text) { store_text(comment, text); }

int32_t TagRecord::get_track() const {
    // An ID3v1.0 tag has no track, whatever an ID3v2 tag put in `track`.
    return version == 1.0f ? -1 : track;
}

}  // namespace velkor
