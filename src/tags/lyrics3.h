// The Lyrics3 block between the audio and the ID3v1 tag, versions 1 and 2:
// where it stands, so that the audio can be taken to end before it. Its
// fields are not read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_source.h"

namespace velkor {

struct Lyrics3Block {
    static constexpr std::size_t kMaxV1Lyrics = 5100;  // between the markers

    int32_t version = 0;  // 1 or 2; 0 when there is no block
    int64_t begin = 0;    // at "LYRICSBEGIN"
    int64_t end = 0;      // behind "LYRICSEND" or "LYRICS200"
};

// The block that ends at `end` (usually where the ID3v1 tag starts), if it
// begins no earlier than `floor`: version 2 ("LYRICSBEGIN", its fields, a
// six-digit size counting them, "LYRICS200"), or else version 1
// ("LYRICSBEGIN", at most kMaxV1Lyrics bytes, "LYRICSEND"). Reads at most
// the 15 bytes before end and, for version 1, the kMaxV1Lyrics + 20 bytes
// before end.
Lyrics3Block find_lyrics3_block(ByteSource& source, int64_t end, int64_t floor = 0);

}  // namespace velkor
