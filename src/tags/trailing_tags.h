// The tags stacked behind the audio at a file's end, ID3v1, APE and
// Lyrics3, in whatever order taggers left them: peeled off one by one to
// find where the audio ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/byte_source.h"

namespace velkor {

struct TrailingTag {
    enum class Kind : uint8_t { kId3v1, kApev2, kLyrics3v1, kLyrics3v2 };

    Kind kind = Kind::kId3v1;
    int64_t begin = 0;
    int64_t end = 0;
};

struct TrailingTags {
    // Taggers that append rather than replace leave a few stacked copies;
    // a longer stack is more likely audio that looks like tags.
    static constexpr std::size_t kMaxTags = 8;

    int64_t audio_end = 0;
    std::vector<TrailingTag> tags;  // from the file's end inwards
};

// Peels tags off the end of a file of file_size bytes while one ends where
// the audio does, at most kMaxTags, none starting before audio_begin (the
// end of an ID3v2 tag at the start). At each end an APE tag is tried first
// (so that an APE tag whose last 128 bytes begin with "TAG" stays one), then
// an ID3v1 tag ("TAG" 128 bytes back), then a Lyrics3 block.
TrailingTags peel_trailing_tags(ByteSource& source, int64_t file_size, int64_t audio_begin = 0);

}  // namespace velkor
