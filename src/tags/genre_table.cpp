// The genre names of ID3v1 and the record's genre queries: number to name,
// and an ID3v2 genre text (a name or a numeric reference) to a number.
#include "tags/genre_table.h"

#include <array>

#include "platform/bounded_copy.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr const char* kGenreNames[] = {
    /*   0 */ "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop",
              "Jazz", "Metal",
    /*  10 */ "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
              "Industrial",
    /*  20 */ "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient",
              "Trip-Hop", "Vocal", "Jazz+Funk",
    /*  30 */ "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
              "Sound Clip", "Gospel", "Noise",
    /*  40 */ "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
              "Instrumental Rock", "Ethnic", "Gothic",
    /*  50 */ "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
              "Southern Rock", "Comedy", "Cult", "Gangsta",
    /*  60 */ "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret",
              "New Wave", "Psychadelic", "Rave", "Showtunes",
    /*  70 */ "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
              "Rock & Roll", "Hard Rock",
    /*  80 */ "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin",
              "Revival", "Celtic", "Bluegrass",
    /*  90 */ "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock",
              "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    /* 100 */ "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony",
              "Booty Bass", "Primus", "Porn Groove",
    /* 110 */ "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad",
              "Rhythmic Soul", "Freestyle",
    /* 120 */ "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall",
    // Beyond ID3v1's table: the numbers later players added, which ID3v2
    // genre references use.
    /* 126 */ "Goa", "Drum & Bass", "Club-House", "Hardcore Techno",
    /* 130 */ "Terror", "Indie", "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap",
              "Heavy Metal", "Black Metal", "Crossover",
    /* 140 */ "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime",
              "Jpop", "Synthpop", "Abstract", "Art Rock",
    /* 150 */ "Baroque", "Bhangra", "Big Beat", "Breakbeat", "Chillout", "Downtempo", "Dub", "EBM",
              "Eclectic", "Electro",
    /* 160 */ "Electroclash", "Emo", "Experimental", "Garage", "Global", "IDM", "Illbient",
              "Industro-Goth", "Jam Band", "Krautrock",
    /* 170 */ "Leftfield", "Lounge", "Math Rock", "New Romantic", "Nu-Breakz", "Post-Punk", "Post-Rock",
              "Psytrance", "Shoegaze", "Space Rock",
    /* 180 */ "Trop Rock", "World Music", "Neoclassical", "Audiobook", "Audio Theatre",
              "Neue Deutsche Welle", "Podcast", "Indie Rock", "G-Funk", "Dubstep",
    /* 190 */ "Garage Rock", "Psybient",
};
static_assert(sizeof kGenreNames / sizeof kGenreNames[0] == GenreTable::kExtendedCount,
              "one name per genre number");

// Other spellings taggers use for the same numbers: names are looked up
// among these too, so that a genre another tagger wrote still has its
// number (and an ID3v1 tag kept in step gets it).
struct Alternative {
    const char* name;
    int32_t number;
};
constexpr Alternative kAlternatives[] = {
    {"Hip Hop", 7},          {"Rhythm and Blues", 14}, {"Trip Hop", 27},      {"Jazz-Funk", 29},
    {"Alt. Rock", 40},       {"Alt Rock", 40},         {"Alternative Rock", 40}, {"Psychedelic", 67},
    {"Rock and Roll", 78},   {"Rock 'n' Roll", 78},    {"Folk/Rock", 81},     {"Bebop", 85},
    {"Avant-garde", 90},     {"Humor", 100},           {"A Cappella", 123},   {"Dancehall", 125},
    {"Drum and Bass", 127},  {"Hardcore", 129},        {"J-Pop", 146},        {"Synth-Pop", 147},
};

// Where the table's own name is a misspelling other readers do not know,
// the name written for the number: theirs.
constexpr Alternative kWrittenNames[] = {{"Psychedelic", 67}, {"Bebop", 85}};

constexpr char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool is_lower_letter(char c) { return c >= 'a' && c <= 'z'; }

// The names' first letters in lower case: the first letter settles almost
// every name, so only those that share it are compared whole.
constexpr auto kFirstLetters = [] {
    std::array<char, GenreTable::kExtendedCount> letters{};
    for (std::size_t i = 0; i < letters.size(); ++i) letters[i] = lower_ascii(kGenreNames[i][0]);
    return letters;
}();

// Every name starts with a letter, so a text that does not (a numeric
// reference such as "(17)", the usual ID3v2 genre) is none of them.
constexpr bool all_start_with_letters() {
    for (const char letter : kFirstLetters) {
        if (!is_lower_letter(letter)) return false;
    }
    return true;
}
static_assert(all_start_with_letters(), "a name that starts otherwise needs the whole search");

bool equal_ignoring_case(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lower_ascii(*a) != lower_ascii(*b)) return false;
    }
    return *a == *b;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at text[i..] into value (capped so it cannot overflow)
// and returns the index behind them; value stays -1 when there are none.
std::size_t read_digits(const char* text, std::size_t i, int32_t& value) {
    value = -1;
    for (; is_digit(text[i]); ++i) {
        value = (value < 0 ? 0 : value) * 10 + (text[i] - '0');
        if (value > 1000) value = 1000;
    }
    return i;
}

// The genre number of an ID3v2 numeric reference, "(17)", "(17)Rock" or a
// bare "17", or -1 for any other text.
int32_t numeric_reference(const char* text) {
    int32_t value = -1;
    if (text[0] == '(') {
        std::size_t end = read_digits(text, 1, value);
        if (text[end] != ')') return -1;
    } else if (text[read_digits(text, 0, value)] != '\0') {
        return -1;
    }
    return value < GenreTable::kCount ? value : -1;
}

}  // namespace

const char* GenreTable::name(int32_t index) {
    return index >= 0 && index < kCount ? kGenreNames[index] : nullptr;
}

const char* GenreTable::extended_name(int32_t index) {
    return index >= 0 && index < kExtendedCount ? kGenreNames[index] : nullptr;
}

int32_t GenreTable::find(const char* text) { return find_among(text, kCount); }

int32_t GenreTable::find_extended(const char* text) { return find_among(text, kExtendedCount); }

const char* GenreTable::written_name(int32_t index) {
    for (const Alternative& written : kWrittenNames) {
        if (written.number == index) return written.name;
    }
    return extended_name(index);
}

int32_t GenreTable::find_among(const char* text, int32_t count) {
    if (!text) return -1;
    const char first = lower_ascii(*text);
    if (!is_lower_letter(first)) return -1;
    for (int32_t i = 0; i < count; ++i) {
        if (kFirstLetters[i] == first && equal_ignoring_case(text, kGenreNames[i])) return i;
    }
    for (const Alternative& alternative : kAlternatives) {
        if (alternative.number < count && equal_ignoring_case(text, alternative.name)) return alternative.number;
    }
    return -1;
}

int32_t TagRecord::genre_index() const { return genre < GenreTable::kCount ? genre : kNotAGenre; }

int32_t TagRecord::v2_genre_index() const {
    Text text;
    bounded_copy(text, v2_genre);
    int32_t index = GenreTable::find(text);
    if (index < 0) index = numeric_reference(text);
    return index < 0 ? kNotAGenre : index;
}

void TagRecord::genre_name(char (&out)[kGenreNameSize]) const {
    const char* name = GenreTable::name(genre);
    bounded_copy(out, name ? name : "not supported");
}

}  // namespace velkor
