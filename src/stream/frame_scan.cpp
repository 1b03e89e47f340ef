// Searching bytes for the first frame header and the ripper's marker.
#include "stream/frame_scan.h"

#include <cstring>

#include "stream/frame_header.h"

namespace velkor {

namespace {

constexpr char kJukeboxMarker[] = "RealJukebox";
constexpr std::size_t kJukeboxMarkerLength = sizeof(kJukeboxMarker) - 1;
constexpr std::size_t kJukeboxWindow = 32;

}  // namespace

std::size_t find_frame_header(ByteSpan bytes, std::size_t from, std::size_t end) {
    if (bytes.size < 4) return kNoFrame;
    if (end > bytes.size - 3) end = bytes.size - 3;
    // Every header starts with a 0xFF byte: memchr skips the rest at memory
    // speed, and only the rare 0xFF is decoded.
    std::size_t c = from;
    while (c < end) {
        const void* hit = std::memchr(bytes.data + c, 0xFF, end - c);
        if (hit == nullptr) break;
        c = static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - bytes.data);
        if ((bytes.data[c + 1] & 0xE0) == 0xE0) {
            FrameHeader header;
            header.set_bytes(bytes.data + c);
            if (header.is_valid()) return c;
        }
        ++c;
    }
    return kNoFrame;
}

bool has_jukebox_marker(ByteSpan bytes, std::size_t candidate) {
    char window[kJukeboxWindow];
    std::size_t length = 0;
    while (length < kJukeboxWindow) {
        const uint8_t byte = bytes.at(candidate + 1 + length);
        if (byte == 0) break;
        window[length++] = static_cast<char>(byte);
    }
    for (std::size_t i = 0; i + kJukeboxMarkerLength <= length; ++i) {
        if (std::memcmp(window + i, kJukeboxMarker, kJukeboxMarkerLength) == 0) return true;
    }
    return false;
}

}  // namespace velkor
