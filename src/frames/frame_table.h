// What the library knows of each ID3v2 frame, in one table: its ids in
// versions 2.4, 2.3 and 2.2, the kind of content it holds (which codec reads
// and writes it), the name people know it by, whether the common facts read
// it at open, and which named field of the tag it gives. Every reader, the
// editor and the interface look frames up here; no other frame list exists.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

// The layouts of frame content. The numbers are the interface's
// VELKOR_FRAME_* kinds.
enum class Id3v2FrameKind : int32_t {
    kText, kUserText, kUrl, kUserUrl, kComment, kLyrics, kPicture, kPopularimeter, kUniqueId,
    kPrivate, kChapter, kToc, kOther, kPeople
};

// The named texts of the tag (Id3v2Tag, the record's 30-character texts)
// a frame gives.
enum class Id3v2Field : uint8_t {
    kNone, kTitle, kArtist, kAlbum, kAlbumArtist, kYear, kRecorded, kTrack, kDisc, kGenre, kComposer,
    kComment, kPicture, kDayMonth, kTime
};

struct Id3v2FrameRow {
    char v24[5];  // "" where 2.4 dropped the frame
    char v23[5];  // "" where 2.3 has no such frame
    char v22[4];  // "" where 2.2 has no such frame
    Id3v2FrameKind kind;
    const char* name;  // "Title"
    bool common = false;  // the common facts read it (decoded at open)
    Id3v2Field field = Id3v2Field::kNone;

    // The frame's id in a tag of this major version (2, 3 or 4); "" when it
    // has none there.
    const char* id(int version) const { return version == 2 ? v22 : version == 3 ? v23 : v24; }
    // The four-character id the library names the frame by: 2.4's, else 2.3's.
    const char* key() const { return v24[0] ? v24 : v23; }
};

// The row of the frame with this id in a tag of `version` (2.3 ids are also
// taken in 2.4 tags and the other way round, as taggers mix them); nullptr
// for an id the table does not list.
const Id3v2FrameRow* id3v2_frame_row(const char* id, int version);

// The kind of content of a frame by its 2.3/2.4 id: the table's, else text
// for any other T*** and URL for any other W***.
Id3v2FrameKind id3v2_frame_kind(const char* id);
// The 2.3/2.4 id of a version 2.2 frame ("TT2" -> "TIT2"), or "" for one
// that has none.
const char* id3v2_v24_id(const char* v22_id);
// An id of `length` characters (3 or 4) as one number, for comparing ids
// in one step; 0 for a text that ends sooner, which matches no id.
uint32_t id3v2_id_number(const char* id, std::size_t length);
// The name of a frame by its 2.3/2.4 id ("TIT2" -> "Title"); "" when unlisted.
const char* id3v2_frame_name(const char* id);
// The name of a kind as the command and Python show it ("text", "people").
const char* id3v2_kind_name(Id3v2FrameKind kind);
// The name of a named field as JSON and Python name it ("title",
// "album_artist"); "" for kNone.
const char* id3v2_field_name(Id3v2Field field);
// An id of four characters A-Z and 0-9 (three in version 2.2): what a
// frame id is made of.
bool is_frame_id(const char* id, int version);

}  // namespace velkor
