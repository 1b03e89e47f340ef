// The setters of the tag record an ID3v1 edit uses: the track (which
// decides between ID3v1.0 and 1.1) and the genre by number.
#include "tags/tag_record.h"

namespace velkor {

void TagRecord::set_track(int32_t number) {
    if (number == kNoTrack) {
        version = 1.0f;
        track = kNoTrack;
    } else if (number >= 0 && number <= 255) {
        version = 1.1f;
        track = number;
    }
}

void TagRecord::set_genre(int32_t number) { genre = static_cast<uint8_t>(number & 0xFF); }

}  // namespace velkor
