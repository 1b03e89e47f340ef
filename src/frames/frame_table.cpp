// The frame table and its look-ups.
#include "frames/frame_table.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velkor {

namespace {

using K = Id3v2FrameKind;
using F = Id3v2Field;
constexpr bool kCommon = true;

// Ordered by the 2.4 (else 2.3) id. A frame both 2.3 and 2.4 know has one
// row; one that 2.4 replaced keeps its own row with v24 "".
constexpr Id3v2FrameRow kRows[] = {
    {"AENC", "AENC", "CRA", K::kOther, "Audio encryption"},
    {"APIC", "APIC", "PIC", K::kPicture, "Attached picture", false, F::kPicture},
    {"ASPI", "", "", K::kOther, "Audio seek point index"},
    {"CHAP", "CHAP", "", K::kChapter, "Chapter"},
    {"COMM", "COMM", "COM", K::kComment, "Comment", false, F::kComment},
    {"COMR", "COMR", "", K::kOther, "Commercial"},
    {"CTOC", "CTOC", "", K::kToc, "Table of contents"},
    {"ENCR", "ENCR", "", K::kOther, "Encryption method"},
    {"EQU2", "", "", K::kOther, "Equalisation"},
    {"", "EQUA", "EQU", K::kOther, "Equalisation"},
    {"ETCO", "ETCO", "ETC", K::kOther, "Event timing codes"},
    {"GEOB", "GEOB", "GEO", K::kOther, "General encapsulated object"},
    {"GRID", "GRID", "", K::kOther, "Group identification"},
    {"GRP1", "GRP1", "GP1", K::kText, "Grouping", kCommon},
    {"", "IPLS", "IPL", K::kPeople, "Involved people"},
    {"LINK", "LINK", "LNK", K::kOther, "Linked information"},
    {"MCDI", "MCDI", "MCI", K::kOther, "Music CD identifier"},
    {"MLLT", "MLLT", "MLL", K::kOther, "MPEG location lookup table"},
    {"MVIN", "MVIN", "MVI", K::kText, "Movement number"},
    {"MVNM", "MVNM", "MVN", K::kText, "Movement name"},
    {"OWNE", "OWNE", "", K::kOther, "Ownership"},
    {"PCNT", "PCNT", "CNT", K::kOther, "Play counter", kCommon},
    {"POPM", "POPM", "POP", K::kPopularimeter, "Popularimeter", kCommon},
    {"POSS", "POSS", "", K::kOther, "Position synchronisation"},
    {"PRIV", "PRIV", "", K::kPrivate, "Private"},
    {"RBUF", "RBUF", "BUF", K::kOther, "Recommended buffer size"},
    {"RVA2", "", "", K::kOther, "Relative volume adjustment", kCommon},
    {"", "RVAD", "RVA", K::kOther, "Relative volume adjustment"},
    {"RVRB", "RVRB", "REV", K::kOther, "Reverb"},
    {"SEEK", "", "", K::kOther, "Seek"},
    {"SIGN", "", "", K::kOther, "Signature"},
    {"SYLT", "SYLT", "SLT", K::kOther, "Synchronised lyrics"},
    {"SYTC", "SYTC", "STC", K::kOther, "Synchronised tempo codes"},
    {"TALB", "TALB", "TAL", K::kText, "Album", false, F::kAlbum},
    {"TBPM", "TBPM", "TBP", K::kText, "BPM", kCommon},
    {"TCMP", "TCMP", "TCP", K::kText, "Compilation", kCommon},
    {"TCOM", "TCOM", "TCM", K::kText, "Composer", false, F::kComposer},
    {"TCON", "TCON", "TCO", K::kText, "Genre", false, F::kGenre},
    {"TCOP", "TCOP", "TCR", K::kText, "Copyright"},
    {"", "TDAT", "TDA", K::kText, "Date", false, F::kDayMonth},
    {"TDEN", "", "", K::kText, "Encoding time"},
    {"TDLY", "TDLY", "TDY", K::kText, "Playlist delay"},
    {"TDOR", "", "", K::kText, "Original release time", kCommon},
    {"TDRC", "", "", K::kText, "Recording time", false, F::kRecorded},
    {"TDRL", "", "", K::kText, "Release time", kCommon},
    {"TDTG", "", "", K::kText, "Tagging time"},
    {"TENC", "TENC", "TEN", K::kText, "Encoded by"},
    {"TEXT", "TEXT", "TXT", K::kText, "Lyricist"},
    {"TFLT", "TFLT", "TFT", K::kText, "File type"},
    {"", "TIME", "TIM", K::kText, "Time", false, F::kTime},
    {"TIPL", "", "", K::kPeople, "Involved people"},
    {"TIT1", "TIT1", "TT1", K::kText, "Content group", kCommon},
    {"TIT2", "TIT2", "TT2", K::kText, "Title", false, F::kTitle},
    {"TIT3", "TIT3", "TT3", K::kText, "Subtitle"},
    {"TKEY", "TKEY", "TKE", K::kText, "Initial key", kCommon},
    {"TLAN", "TLAN", "TLA", K::kText, "Language"},
    {"TLEN", "TLEN", "TLE", K::kText, "Length"},
    {"TMCL", "", "", K::kPeople, "Musician credits"},
    {"TMED", "TMED", "TMT", K::kText, "Media type"},
    {"TMOO", "", "", K::kText, "Mood"},
    {"TOAL", "TOAL", "TOT", K::kText, "Original album"},
    {"TOFN", "TOFN", "TOF", K::kText, "Original filename"},
    {"TOLY", "TOLY", "TOL", K::kText, "Original lyricist"},
    {"TOPE", "TOPE", "TOA", K::kText, "Original artist"},
    {"", "TORY", "TOR", K::kText, "Original release year", kCommon},
    {"TOWN", "TOWN", "", K::kText, "File owner"},
    {"TPE1", "TPE1", "TP1", K::kText, "Artist", false, F::kArtist},
    {"TPE2", "TPE2", "TP2", K::kText, "Album artist", false, F::kAlbumArtist},
    {"TPE3", "TPE3", "TP3", K::kText, "Conductor"},
    {"TPE4", "TPE4", "TP4", K::kText, "Remixed by"},
    {"TPOS", "TPOS", "TPA", K::kText, "Disc", false, F::kDisc},
    {"TPRO", "", "", K::kText, "Produced notice"},
    {"TPUB", "TPUB", "TPB", K::kText, "Publisher"},
    {"TRCK", "TRCK", "TRK", K::kText, "Track", false, F::kTrack},
    {"", "TRDA", "TRD", K::kText, "Recording dates"},
    {"TRSN", "TRSN", "", K::kText, "Internet radio station"},
    {"TRSO", "TRSO", "", K::kText, "Internet radio station owner"},
    {"", "TSIZ", "TSI", K::kText, "Size"},
    {"TSO2", "TSO2", "TS2", K::kText, "Album artist sort order", kCommon},
    {"TSOA", "TSOA", "TSA", K::kText, "Album sort order", kCommon},
    {"TSOC", "TSOC", "TSC", K::kText, "Composer sort order"},
    {"TSOP", "TSOP", "TSP", K::kText, "Performer sort order", kCommon},
    {"TSOT", "TSOT", "TST", K::kText, "Title sort order", kCommon},
    {"TSRC", "TSRC", "TRC", K::kText, "ISRC"},
    {"TSSE", "TSSE", "TSS", K::kText, "Encoder settings"},
    {"TSST", "", "", K::kText, "Set subtitle"},
    {"TXXX", "TXXX", "TXX", K::kUserText, "User text", kCommon},
    {"", "TYER", "TYE", K::kText, "Year", false, F::kYear},
    {"UFID", "UFID", "UFI", K::kUniqueId, "Unique file identifier", kCommon},
    {"USER", "USER", "", K::kOther, "Terms of use"},
    {"USLT", "USLT", "ULT", K::kLyrics, "Lyrics", kCommon},
    {"WCOM", "WCOM", "WCM", K::kUrl, "Commercial information"},
    {"WCOP", "WCOP", "WCP", K::kUrl, "Copyright information"},
    {"WOAF", "WOAF", "WAF", K::kUrl, "Audio file webpage"},
    {"WOAR", "WOAR", "WAR", K::kUrl, "Artist webpage"},
    {"WOAS", "WOAS", "WAS", K::kUrl, "Audio source webpage"},
    {"WORS", "WORS", "", K::kUrl, "Radio station webpage"},
    {"WPAY", "WPAY", "", K::kUrl, "Payment"},
    {"WPUB", "WPUB", "WPB", K::kUrl, "Publisher webpage"},
    {"WXXX", "WXXX", "WXX", K::kUserUrl, "User URL"},
};

}  // namespace

uint32_t id3v2_id_number(const char* id, std::size_t length) {
    uint32_t number = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (id[i] == '\0') return 0;
        number = number << 8 | static_cast<uint8_t>(id[i]);
    }
    return number;
}

namespace {

struct Key {
    uint32_t id;
    const Id3v2FrameRow* row;
    bool operator<(const Key& other) const { return id < other.id; }
};

// The rows by their 2.3/2.4 ids (both, where they differ) and by their 2.2
// ids, sorted once: every frame of every tag is looked up here.
struct Index {
    std::vector<Key> keys, v22;
    Index() {
        for (const Id3v2FrameRow& row : kRows) {
            if (row.v24[0]) keys.push_back({id3v2_id_number(row.v24, 4), &row});
            if (row.v23[0] && std::strcmp(row.v23, row.v24) != 0) keys.push_back({id3v2_id_number(row.v23, 4), &row});
            if (row.v22[0]) v22.push_back({id3v2_id_number(row.v22, 3), &row});
        }
        std::sort(keys.begin(), keys.end());
        std::sort(v22.begin(), v22.end());
    }
};

const Index& index() {
    static const Index built;
    return built;
}

const Id3v2FrameRow* find(const std::vector<Key>& keys, uint32_t id) {
    const auto at = std::lower_bound(keys.begin(), keys.end(), Key{id, nullptr});
    return at != keys.end() && at->id == id ? at->row : nullptr;
}

// The row whose 2.4 or 2.3 id is this four-character id.
const Id3v2FrameRow* row_of_key(const char* id) { return find(index().keys, id3v2_id_number(id, 4)); }

}  // namespace

const Id3v2FrameRow* id3v2_frame_row(const char* id, int version) {
    return version == 2 ? find(index().v22, id3v2_id_number(id, 3)) : row_of_key(id);
}

Id3v2FrameKind id3v2_frame_kind(const char* id) {
    if (const Id3v2FrameRow* row = row_of_key(id)) return row->kind;
    if (id[0] == 'T') return K::kText;
    if (id[0] == 'W') return K::kUrl;
    return K::kOther;
}

const char* id3v2_v24_id(const char* v22_id) {
    const Id3v2FrameRow* row = id3v2_frame_row(v22_id, 2);
    return row ? row->key() : "";
}

const char* id3v2_frame_name(const char* id) {
    const Id3v2FrameRow* row = row_of_key(id);
    return row ? row->name : "";
}

const char* id3v2_kind_name(Id3v2FrameKind kind) {
    static constexpr const char* kNames[] = {"text",          "user_text", "url",     "user_url", "comment",
                                             "lyrics",        "picture",   "popularimeter", "unique_id",
                                             "private",       "chapter",   "toc",     "other",    "people"};
    const auto at = static_cast<std::size_t>(kind);
    return at < sizeof kNames / sizeof kNames[0] ? kNames[at] : "other";
}

const char* id3v2_field_name(Id3v2Field field) {
    static constexpr const char* kNames[] = {"",      "title",    "artist", "album",   "album_artist",
                                             "year",  "recorded", "track",  "disc",    "genre",
                                             "composer", "comment", "picture", "day_month", "time"};
    const auto at = static_cast<std::size_t>(field);
    return at < sizeof kNames / sizeof kNames[0] ? kNames[at] : "";
}

bool is_frame_id(const char* id, int version) {
    const std::size_t length = version == 2 ? 3 : 4;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = id[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

}  // namespace velkor
