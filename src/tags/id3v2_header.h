// The 10-byte header in front of an ID3v2 tag: whether the bytes at a
// file's start hold one, and how far the tag reaches.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

struct Id3v2Header {
    static constexpr std::size_t kSize = 10;
    static constexpr uint8_t kFlagUnsynchronisation = 0x80;
    static constexpr uint8_t kFlagExtendedHeader = 0x40;
    static constexpr uint8_t kFlagFooter = 0x10;  // version 2.4

    uint8_t version = 0;  // the major version: 2, 3, 4 ...
    uint8_t flags = 0;
    uint32_t size = 0;    // bytes behind the header, as the syncsafe field says

    // The header's bytes and the tag's.
    int64_t tag_size() const { return static_cast<int64_t>(kSize) + size; }
    // The tag with its footer: where whatever follows the tag begins.
    int64_t end() const { return tag_size() + ((flags & kFlagFooter) ? kSize : 0); }
};

// True when bytes begin with an ID3v2 header: "ID3", version and revision
// below 0xFF, four size bytes below 0x80 (the flags byte is not examined);
// then header holds its fields.
bool parse_id3v2_header(ByteSpan bytes, Id3v2Header& header);

}  // namespace velkor
