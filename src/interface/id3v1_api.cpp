// velkor_write_id3v1: an ID3v1 tag written from the caller's record.
#include "interface/velkor_file.h"
#include "tags/value_check.h"

using velkor::platform::FileSource;

namespace {

// The caller's record as far as its size reaches (a record from an older
// velkor.h is shorter); a field past that is not named, so the file's tag
// keeps it. False when the record is too short to name any field.
bool read_id3v1_fields(const velkor_id3v1_fields& theirs, velkor_id3v1_fields& ours) {
    constexpr std::size_t kLeast = offsetof(velkor_id3v1_fields, fields) + sizeof(uint32_t);
    if (theirs.size < kLeast) return false;
    const std::size_t size = std::min<std::size_t>(theirs.size, sizeof ours);
    ours = velkor_id3v1_fields{};
    ours.genre = 255;
    std::memcpy(&ours, &theirs, size);
    struct Field {
        uint32_t flag;
        std::size_t end;
    };
    static constexpr Field kFields[] = {
        {VELKOR_FIELD_TITLE, offsetof(velkor_id3v1_fields, title) + sizeof(const char*)},
        {VELKOR_FIELD_ARTIST, offsetof(velkor_id3v1_fields, artist) + sizeof(const char*)},
        {VELKOR_FIELD_ALBUM, offsetof(velkor_id3v1_fields, album) + sizeof(const char*)},
        {VELKOR_FIELD_COMMENT, offsetof(velkor_id3v1_fields, comment) + sizeof(const char*)},
        {VELKOR_FIELD_YEAR, offsetof(velkor_id3v1_fields, year) + sizeof(int32_t)},
        {VELKOR_FIELD_TRACK, offsetof(velkor_id3v1_fields, track) + sizeof(int32_t)},
        {VELKOR_FIELD_GENRE, offsetof(velkor_id3v1_fields, genre) + sizeof(int32_t)},
    };
    for (const Field& field : kFields) {
        if (field.end > size) ours.fields &= ~field.flag;
    }
    return true;
}

}  // namespace

int32_t write_id3v1(const std::string& path, bool utf8_path, const velkor_id3v1_fields* given) {
    velkor_id3v1_fields tag;
    if (given == nullptr || !read_id3v1_fields(*given, tag)) return VELKOR_ERROR_ARGUMENT;
    if ((tag.fields & ~0x7Fu) != 0 || velkor::id3v1_value_problem(tag.year, tag.track, tag.genre) != nullptr) {
        return VELKOR_ERROR_ARGUMENT;
    }
    velkor::Id3v1Edit edit;
    edit.fields = tag.fields;
    edit.title = tag.title;
    edit.artist = tag.artist;
    edit.album = tag.album;
    edit.comment = tag.comment;
    edit.year = tag.year;
    edit.track = tag.track;
    edit.genre = tag.genre;
    (void)utf8_path;
    return velkor::guarded(VELKOR_ERROR_WRITE, [&]() -> int32_t {
        const velkor::Id3v1Saved result =
            velkor::save_id3v1(path, [&edit](const uint8_t* old, uint8_t (&block)[velkor::kId3v1BlockSize]) {
                velkor::make_id3v1_block(old, edit, block);
            });
        switch (result.status) {
            case velkor::SaveStatus::kDone: return VELKOR_OK;
            case velkor::SaveStatus::kChanged: return VELKOR_ERROR_CHANGED;
            case velkor::SaveStatus::kLinked: return VELKOR_ERROR_LINKED;
            default: return velkor::status_of(result.problem, VELKOR_ERROR_WRITE);
        }
    });
}

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1(const char* path, const velkor_id3v1_fields* tag) {
    if (path == nullptr) return VELKOR_ERROR_ARGUMENT;
    return write_id3v1(path, true, tag);
}

}  // extern "C"
