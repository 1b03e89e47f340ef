// The key table and its look-ups.
#include "frames/tag_keys.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "frames/frame_table.h"

namespace velkor {

namespace {

using V1 = TagKeyV1;

bool same_text(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return *a == *b;
}

// TagLib's property names and Picard's (MusicBrainz) for the same fields;
// TXXX descriptions as Picard writes them.
constexpr TagKeyRow kKeys[] = {
    {"TITLE", "TIT2", "TIT2", nullptr, "Title", V1::kTitle},
    {"ARTIST", "TPE1", "TPE1", nullptr, "Artist", V1::kArtist},
    {"ALBUM", "TALB", "TALB", nullptr, "Album", V1::kAlbum},
    {"ALBUMARTIST", "TPE2", "TPE2", nullptr, "Album Artist"},
    {"DATE", "TDRC", "TYER", nullptr, "Year", V1::kYear},
    {"ORIGINALDATE", "TDOR", "TORY", nullptr, "Original Year"},
    {"RELEASEDATE", "TDRL", "TDRL", nullptr, nullptr},
    {"TRACKNUMBER", "TRCK", "TRCK", nullptr, "Track", V1::kTrack},
    {"DISCNUMBER", "TPOS", "TPOS", nullptr, "Disc"},
    {"GENRE", "TCON", "TCON", nullptr, "Genre", V1::kGenre},
    {"COMMENT", "COMM", "COMM", nullptr, "Comment", V1::kComment},
    {"LYRICS", "USLT", "USLT", nullptr, "Lyrics"},
    {"COMPOSER", "TCOM", "TCOM", nullptr, "Composer"},
    {"LYRICIST", "TEXT", "TEXT", nullptr, "Lyricist"},
    {"CONDUCTOR", "TPE3", "TPE3", nullptr, "Conductor"},
    {"REMIXER", "TPE4", "TPE4", nullptr, "MixArtist"},
    {"SUBTITLE", "TIT3", "TIT3", nullptr, "Subtitle"},
    {"GROUPING", "TIT1", "TIT1", nullptr, "Grouping"},
    {"BPM", "TBPM", "TBPM", nullptr, "BPM"},
    {"INITIALKEY", "TKEY", "TKEY", nullptr, "Key"},
    {"COMPILATION", "TCMP", "TCMP", nullptr, "Compilation"},
    {"MEDIA", "TMED", "TMED", nullptr, "Media"},
    {"MOOD", "TMOO", "TXXX", "MOOD", "Mood"},
    {"LANGUAGE", "TLAN", "TLAN", nullptr, "Language"},
    {"LABEL", "TPUB", "TPUB", nullptr, "Label"},
    {"COPYRIGHT", "TCOP", "TCOP", nullptr, "Copyright"},
    {"ENCODEDBY", "TENC", "TENC", nullptr, "EncodedBy"},
    {"ENCODING", "TSSE", "TSSE", nullptr, "Encoder"},
    {"ISRC", "TSRC", "TSRC", nullptr, "ISRC"},
    {"TITLESORT", "TSOT", "TSOT", nullptr, "TitleSort"},
    {"ARTISTSORT", "TSOP", "TSOP", nullptr, "ArtistSort"},
    {"ALBUMSORT", "TSOA", "TSOA", nullptr, "AlbumSort"},
    {"ALBUMARTISTSORT", "TSO2", "TSO2", nullptr, "AlbumArtistSort"},
    {"COMPOSERSORT", "TSOC", "TSOC", nullptr, "ComposerSort"},
    {"MUSICBRAINZ_TRACKID", "UFID", "UFID", "http://musicbrainz.org", nullptr},
    {"MUSICBRAINZ_ALBUMID", "TXXX", "TXXX", "MusicBrainz Album Id", nullptr},
    {"MUSICBRAINZ_ARTISTID", "TXXX", "TXXX", "MusicBrainz Artist Id", nullptr},
    {"MUSICBRAINZ_ALBUMARTISTID", "TXXX", "TXXX", "MusicBrainz Album Artist Id", nullptr},
    {"MUSICBRAINZ_RELEASEGROUPID", "TXXX", "TXXX", "MusicBrainz Release Group Id", nullptr},
    {"MUSICBRAINZ_RELEASETRACKID", "TXXX", "TXXX", "MusicBrainz Release Track Id", nullptr},
    {"MUSICBRAINZ_WORKID", "TXXX", "TXXX", "MusicBrainz Work Id", nullptr},
    {"RELEASESTATUS", "TXXX", "TXXX", "MusicBrainz Album Status", nullptr},
    {"RELEASETYPE", "TXXX", "TXXX", "MusicBrainz Album Type", nullptr},
    {"RELEASECOUNTRY", "TXXX", "TXXX", "MusicBrainz Album Release Country", nullptr},
    {"ACOUSTID_ID", "TXXX", "TXXX", "Acoustid Id", nullptr},
    {"BARCODE", "TXXX", "TXXX", "BARCODE", nullptr},
    {"CATALOGNUMBER", "TXXX", "TXXX", "CATALOGNUMBER", nullptr},
    {"ASIN", "TXXX", "TXXX", "ASIN", nullptr},
    {"SCRIPT", "TXXX", "TXXX", "SCRIPT", nullptr},
    {"REPLAYGAIN_TRACK_GAIN", "TXXX", "TXXX", "REPLAYGAIN_TRACK_GAIN", nullptr},
    {"REPLAYGAIN_TRACK_PEAK", "TXXX", "TXXX", "REPLAYGAIN_TRACK_PEAK", nullptr},
    {"REPLAYGAIN_ALBUM_GAIN", "TXXX", "TXXX", "REPLAYGAIN_ALBUM_GAIN", nullptr},
    {"REPLAYGAIN_ALBUM_PEAK", "TXXX", "TXXX", "REPLAYGAIN_ALBUM_PEAK", nullptr},
};

}  // namespace

const TagKeyRow* tag_key_rows(int32_t& count) {
    count = static_cast<int32_t>(sizeof kKeys / sizeof kKeys[0]);
    return kKeys;
}

const TagKeyRow* tag_key_row(const char* key) {
    if (key == nullptr) return nullptr;
    for (const TagKeyRow& row : kKeys) {
        if (same_text(row.key, key)) return &row;
    }
    return nullptr;
}

static_assert(sizeof kKeys / sizeof kKeys[0] == kTagKeyCount, "kTagKeyCount counts the rows");

namespace {

// A four-character id as one number, so that a frame is matched against
// every row's ids without comparing texts; 0 for any other length.
uint32_t id_number(const char* id) {
    const uint32_t number = id3v2_id_number(id, 4);
    return number != 0 && id[4] == '\0' ? number : 0;
}

// The rows by their 2.4 and 2.3 ids as numbers, in the table's order
// where ids are alike, and each row's description's length (most TXXX
// rows differ from a frame's description in it), made once.
struct RowIds {
    struct Entry {
        uint32_t id;
        uint16_t row;
        bool operator<(const Entry& other) const { return id != other.id ? id < other.id : row < other.row; }
    };
    Entry entries[2 * kTagKeyCount];
    std::size_t description[kTagKeyCount];
    RowIds() {
        for (std::size_t r = 0; r < kTagKeyCount; ++r) {
            entries[2 * r] = {id_number(kKeys[r].v24), static_cast<uint16_t>(r)};
            entries[2 * r + 1] = {id_number(kKeys[r].v23), static_cast<uint16_t>(r)};
            description[r] = kKeys[r].description != nullptr ? std::strlen(kKeys[r].description) : 0;
        }
        std::sort(std::begin(entries), std::end(entries));
    }
};

}  // namespace

const TagKeyRow* tag_key_of_frame(const char* id, const char* description) {
    if (id == nullptr) return nullptr;
    static const RowIds ids;
    const uint32_t number = id_number(id);
    if (number == 0) return nullptr;
    const bool described = std::strcmp(id, "TXXX") == 0 || std::strcmp(id, "UFID") == 0;
    const std::size_t length = described && description != nullptr ? std::strlen(description) : 0;
    for (const RowIds::Entry* at = std::lower_bound(std::begin(ids.entries), std::end(ids.entries),
                                                     RowIds::Entry{number, 0});
         at != std::end(ids.entries) && at->id == number; ++at) {
        const std::size_t r = at->row;
        const TagKeyRow& row = kKeys[r];
        if (!described) return &row;
        if (description != nullptr && row.description != nullptr && ids.description[r] == length &&
            (std::strcmp(id, "UFID") == 0 ? std::strcmp(row.description, description) == 0
                                          : same_text(row.description, description))) {
            return &row;
        }
    }
    return nullptr;
}

const TagKeyRow* tag_key_of_ape_item(const char* name) {
    if (name == nullptr) return nullptr;
    for (const TagKeyRow& row : kKeys) {
        if (same_text(row.ape != nullptr ? row.ape : row.key, name)) return &row;
    }
    // "AlbumArtist", "Year" and the key names themselves as taggers also write them.
    if (same_text(name, "AlbumArtist")) return tag_key_row("ALBUMARTIST");
    return tag_key_row(name);
}

}  // namespace velkor
