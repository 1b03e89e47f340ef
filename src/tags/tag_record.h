// Everything descriptive the library knows about one file: the ID3v1 fields,
// the texts taken from an ID3v2 tag, and the genre number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_source.h"
#include "base/byte_span.h"
#include "base/sentinels.h"

namespace velkor {

// Copies a fixed field of `length` bytes into dest (room for length + 1)
// without its trailing spaces and zeros, and ends it with a zero byte at
// dest[length]. Interior spaces and zeros are copied as they stand.
void trim_fixed_field(char* dest, const char* src, std::size_t length);

class TagRecord {
public:
    static constexpr std::size_t kTextSize = 31;       // 30 characters and a zero
    static constexpr std::size_t kGenreNameSize = 18;  // longest name 17 characters
    static constexpr std::size_t kId3v1Size = 128;
    using Text = char[kTextSize];

    // Fields in their fixed order; a new record is empty.
    Text title = {};
    Text artist = {};
    Text album = {};
    Text comment = {};
    int32_t year = 0;
    int32_t track = kNoTrack;
    float version = 0.0f;  // 1.0f or 1.1f once an ID3v1 tag was read or set
    int32_t valid = 0;
    Text v2_title = {};
    Text v2_album = {};
    Text v2_artist = {};
    Text v2_comment = {};
    Text v2_genre = {};
    Text v2_track = {};
    Text v2_year = {};
    uint8_t genre = kGenreNotSupported;

    // ID3v1 ------------------------------------------------------------
    // Parses the last 128 bytes of a file. Returns 1 when they hold a tag
    // ("TAG"), else 0 with only `valid` changed. A span shorter than 128
    // bytes is no tag.
    int32_t read_id3v1(ByteSpan block);

    void get_title(Text& out) const;
    void get_artist(Text& out) const;
    void get_album(Text& out) const;
    void get_comment(Text& out) const;
    void get_v2_title(Text& out) const;
    void get_v2_artist(Text& out) const;
    void get_v2_album(Text& out) const;
    void get_v2_comment(Text& out) const;

    // Store a text; one longer than 30 characters is cut to 30, and the rest
    // of the field is cleared.
    void set_title(const char* text);
    void set_artist(const char* text);
    void set_album(const char* text);
    void set_comment(const char* text);

    int32_t get_year() const { return year; }
    // -1 for an ID3v1.0 tag, else `track`.
    int32_t get_track() const;
    // `genre` when below 126, else -1000.
    int32_t genre_index() const;
    // Index of the ID3v2 genre text in the genre table, or -1000.
    int32_t v2_genre_index() const;
    // The genre's name, or "not supported".
    void genre_name(char (&out)[kGenreNameSize]) const;

    // ID3v2 ------------------------------------------------------------
    // Reads the texts of an ID3v2.2/2.3/2.4 tag that starts at offset 0 of the
    // source, examining at most iLength bytes (header included). Returns 1
    // when a frame of interest was stored.
    int32_t LoadTag2(ByteSource& tag, int64_t iLength);
    // The same for a tag held in memory.
    int32_t LoadTag2(ByteSpan buffer, int32_t iLength);

    // Editing ----------------------------------------------------------
    // -1: no track (ID3v1.0); 0..255: ID3v1.1 with that track; else ignored.
    void set_track(int32_t number);
    // Stores the low 8 bits, untested.
    void set_genre(int32_t number);
    // Fills the 128-byte ID3v1 block from the record. Returns 1.
    int32_t to_id3v1(uint8_t (&block)[kId3v1Size]) const;
};

}  // namespace velkor
