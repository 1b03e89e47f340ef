// Peeling ID3v1, APE and Lyrics3 tags off the end of the audio.
#include "tags/trailing_tags.h"

#include <algorithm>
#include <cstring>

#include "tags/apev2_tag.h"
#include "tags/lyrics3.h"

namespace velkor {

namespace {

constexpr int64_t kId3v1Size = 128;

// The tag that ends at `end` and starts no earlier than floor, if any. An
// APE tag comes first: its last 128 bytes may well begin with "TAG" (a
// value's text), and then they are its bytes, not an ID3v1 tag; an APE tag
// that checks out (header, footer and item sizes agreeing) is no accident.
bool tag_ending_at(ByteSource& source, int64_t end, int64_t floor, TrailingTag& tag) {
    tag.end = end;
    const Apev2Tag ape = locate_apev2_tag(source, end, floor);
    if (ape.version != 0) {
        tag.kind = TrailingTag::Kind::kApev2;
        tag.begin = ape.begin;
        return true;
    }
    if (end - floor >= kId3v1Size) {
        const ByteSpan marker = source.bytes(end - kId3v1Size, 3);
        if (marker.size == 3 && std::memcmp(marker.data, "TAG", 3) == 0) {
            tag.kind = TrailingTag::Kind::kId3v1;
            tag.begin = end - kId3v1Size;
            return true;
        }
    }
    const Lyrics3Block lyrics = find_lyrics3_block(source, end, floor);
    if (lyrics.version != 0) {
        tag.kind = lyrics.version == 1 ? TrailingTag::Kind::kLyrics3v1 : TrailingTag::Kind::kLyrics3v2;
        tag.begin = lyrics.begin;
        return true;
    }
    return false;
}

}  // namespace

TrailingTags peel_trailing_tags(ByteSource& source, int64_t file_size, int64_t audio_begin) {
    TrailingTags found;
    const int64_t floor = std::max<int64_t>(audio_begin, 0);
    found.audio_end = file_size;
    TrailingTag tag;
    // Every tag found is at least a footer long, so the end only moves back.
    while (found.tags.size() < TrailingTags::kMaxTags &&
           tag_ending_at(source, found.audio_end, floor, tag)) {
        found.tags.push_back(tag);
        found.audio_end = tag.begin;
    }
    return found;
}

}  // namespace velkor
