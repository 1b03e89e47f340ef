// The 126 ID3v1 genre names, index 0 to 125.
#pragma once

#include <cstdint>

namespace velkor {

struct GenreTable {
    static constexpr int32_t kCount = 126;

    // The name at index, or nullptr outside 0..125.
    static const char* name(int32_t index);
    // Index of the name that equals `text` apart from the letter case of
    // A-Z, or -1 when none does (or text is NULL).
    static int32_t find(const char* text);
};

}  // namespace velkor
