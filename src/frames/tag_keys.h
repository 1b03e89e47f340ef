// The keys of the merged view: the names taggers and libraries already use
// for a tag's fields (TITLE, ARTIST, MUSICBRAINZ_ALBUMID, ...), each with the
// ID3v2 frame that holds it in 2.4 and 2.3, the APEv2 item and the ID3v1
// field. doc/keys.md shows this table; nothing else in the library or its
// command and package lists keys.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

// The ID3v1 field a key falls back to.
enum class TagKeyV1 : uint8_t { kNone, kTitle, kArtist, kAlbum, kYear, kComment, kGenre, kTrack };

struct TagKeyRow {
    const char* key;          // "TITLE": upper case
    const char* v24;          // the frame in a 2.4 tag: "TIT2", "TXXX", "COMM", "USLT", "UFID"
    const char* v23;          // the frame in a 2.3 tag (2.2 frames read as their 2.3 ids)
    const char* description;  // TXXX: its description (letter case ignored on reading); UFID: the owner
    const char* ape;          // the APEv2 item ("Album Artist"); nullptr: the key itself
    TagKeyV1 id3v1 = TagKeyV1::kNone;
};

// How many rows the table has.
constexpr std::size_t kTagKeyCount = 53;

// The row of a key, letter case ignored; nullptr for a key the table lacks.
const TagKeyRow* tag_key_row(const char* key);
// Every row, in the table's order (that of doc/keys.md).
const TagKeyRow* tag_key_rows(int32_t& count);
// The key a text or TXXX frame gives (by its 2.3/2.4 id and, for TXXX,
// description), or nullptr: the way from a frame back to its key.
const TagKeyRow* tag_key_of_frame(const char* id, const char* description);
// The key an APEv2 item gives (its name, letter case ignored), or nullptr.
const TagKeyRow* tag_key_of_ape_item(const char* name);

}  // namespace velkor
