// The genre names: the 126 of ID3v1, index 0 to 125, which the exports and
// the ID3v1 tag know, and the 66 players added, 126 to 191, which velkor's
// own interface knows too.
#pragma once

#include <cstdint>

namespace velkor {

struct GenreTable {
    static constexpr int32_t kCount = 126;
    static constexpr int32_t kExtendedCount = 192;

    // The name at index, or nullptr outside 0..125 (0..191).
    static const char* name(int32_t index);
    static const char* extended_name(int32_t index);
    // The name to store for genre index (0..191), as other readers spell
    // it where the table's spelling is one they do not know; else name().
    static const char* written_name(int32_t index);
    // Index of the name that equals `text` apart from the letter case of
    // A-Z, or -1 when none does (or text is NULL): among 0..125 (0..191).
    // Other taggers' spellings ("Psychedelic", "Bebop", "Alt. Rock") are
    // taken too.
    static int32_t find(const char* text);
    static int32_t find_extended(const char* text);

private:
    static int32_t find_among(const char* text, int32_t count);
};

}  // namespace velkor
