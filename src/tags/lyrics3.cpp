// The Lyrics3 block: found from its end marker backwards.
#include "tags/lyrics3.h"

#include <algorithm>
#include <cstring>

namespace velkor {

namespace {

constexpr char kBegin[] = "LYRICSBEGIN";
constexpr std::size_t kBeginSize = 11;
constexpr char kEndV1[] = "LYRICSEND";
constexpr std::size_t kEndV1Size = 9;
constexpr char kEndV2[] = "LYRICS200";
constexpr std::size_t kEndV2Size = 9;
constexpr std::size_t kSizeDigits = 6;

bool starts_with(ByteSpan bytes, const char* text, std::size_t n) {
    return bytes.size >= n && std::memcmp(bytes.data, text, n) == 0;
}

Lyrics3Block find_v2(ByteSource& source, int64_t end, int64_t floor) {
    Lyrics3Block block;
    const auto trailer_size = static_cast<int64_t>(kSizeDigits + kEndV2Size);
    if (end - floor < trailer_size + static_cast<int64_t>(kBeginSize)) return block;
    const ByteSpan trailer = source.bytes(end - trailer_size, kSizeDigits + kEndV2Size);
    if (!starts_with(trailer.from(kSizeDigits), kEndV2, kEndV2Size)) return block;
    int64_t size = 0;  // from "LYRICSBEGIN" up to the size digits
    for (std::size_t i = 0; i < kSizeDigits; ++i) {
        const uint8_t digit = trailer.at(i);
        if (digit < '0' || digit > '9') return block;
        size = size * 10 + (digit - '0');
    }
    const int64_t begin = end - trailer_size - size;
    if (size < static_cast<int64_t>(kBeginSize) || begin < floor) return block;
    if (!starts_with(source.bytes(begin, kBeginSize), kBegin, kBeginSize)) return block;
    block.version = 2;
    block.begin = begin;
    block.end = end;
    return block;
}

Lyrics3Block find_v1(ByteSource& source, int64_t end, int64_t floor) {
    Lyrics3Block block;
    const auto marker_size = static_cast<int64_t>(kEndV1Size);
    if (end - floor < marker_size + static_cast<int64_t>(kBeginSize)) return block;
    // The marker first: the window behind it is read only for a block.
    if (!starts_with(source.bytes(end - marker_size, kEndV1Size), kEndV1, kEndV1Size)) return block;
    const int64_t window_begin =
        std::max(floor, end - static_cast<int64_t>(kBeginSize + Lyrics3Block::kMaxV1Lyrics + kEndV1Size));
    const ByteSpan window = source.bytes(window_begin, static_cast<std::size_t>(end - window_begin));
    if (window.size != static_cast<std::size_t>(end - window_begin)) return block;
    if (!starts_with(window.from(window.size - kEndV1Size), kEndV1, kEndV1Size)) return block;
    // The nearest "LYRICSBEGIN": lyrics are not to hold one, and if they
    // do anyway, taking the nearest cuts the least off the audio.
    for (std::size_t at = window.size - kEndV1Size - kBeginSize + 1; at-- > 0;) {
        if (std::memcmp(window.data + at, kBegin, kBeginSize) == 0) {
            block.version = 1;
            block.begin = window_begin + static_cast<int64_t>(at);
            block.end = end;
            return block;
        }
    }
    return block;
}

}  // namespace

Lyrics3Block find_lyrics3_block(ByteSource& source, int64_t end, int64_t floor) {
    floor = std::max<int64_t>(floor, 0);
    const Lyrics3Block v2 = find_v2(source, end, floor);
    return v2.version != 0 ? v2 : find_v1(source, end, floor);
}

}  // namespace velkor
