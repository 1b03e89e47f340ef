// The values that stand for "nothing here" wherever the library and its
// callers exchange facts: in tag records, reports and the write-back.
#pragma once

#include <cstdint>

namespace velkor {

// No track number (and an ID3v1.0 tag, which has no room for one).
constexpr int32_t kNoTrack = -1;
// The genre index of a genre that is not in the genre table.
constexpr int32_t kNotAGenre = -1000;
// The genre byte for no genre; every byte from 126 up reads as it.
constexpr uint8_t kGenreNotSupported = 255;
// An item without value in the text report, and a field the write-back
// leaves as it is.
constexpr char kNotAvailable[] = "n/a";

}  // namespace velkor
