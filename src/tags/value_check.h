// The one check of the values velkor's setters take for ID3v2 text frames:
// dates with real months and days, track and disc numbers from 1, genre
// numbers the table knows, numbers where a frame holds a number. Every
// setter (the C interface, and through it Python and the command) asks
// here, so that no way in stores what another refuses.
#pragma once

#include <cstdint>
#include <string>

namespace velkor {

// nullptr when `value` suits text frame `id` (a 4-character id), else why
// not, in words ("a date as ISO 8601 ..."). "" always suits: it clears the
// frame. Frames without rules of their own take any text.
// Link frames (W...) take a URL; "APIC" checks a picture's MIME type.
const char* text_value_problem(const std::string& id, const std::string& value);

// nullptr when an ID3v1 tag can hold the numbers, else why not.
const char* id3v1_value_problem(int32_t year, int32_t track, int32_t genre);

}  // namespace velkor
