// The frames of an ID3v2 tag, one after the other: the walk both tag
// readers share. It knows the three frame layouts (2.2, 2.3, 2.4), skips an
// extended header, and ends quietly at padding, at a size that does not fit
// and at the end of the tag. Only frame headers are fetched; a frame's body
// is handed out as a cursor, so a body nobody reads is never fetched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_source.h"
#include "tags/id3v2_header.h"
#include "tags/tag_cursor.h"

namespace velkor {

struct Id3v2Frame {
    char id[5] = {};        // three or four characters and a zero
    uint32_t size = 0;      // body bytes as the header gives them
    uint16_t flags = 0;     // versions 2.3 and 2.4; 0 for 2.2
};

class Id3v2FrameWalk {
public:
    // The tag at offset 0 of source, `length` bytes of it (header
    // included). Versions 2 to 4 are walked; for any other the walk is
    // empty.
    Id3v2FrameWalk(ByteSource& source, const Id3v2Header& header, int64_t length);

    // The next frame and a cursor over its body; false at the end.
    bool next(Id3v2Frame& frame, TagCursor& body);

private:
    // A version 2.4 size: syncsafe as written, but some taggers wrote plain
    // numbers. The plain reading wins when the syncsafe one cannot be right
    // (a byte with its top bit set) or lands off the next frame's header
    // while the plain one lands on it.
    uint32_t v24_size(const uint8_t (&size_bytes)[4]) const;
    bool frame_starts_at(std::size_t skip) const;

    TagCursor walk_;
    int version_;
    std::size_t header_size_;
    std::size_t id_size_;
    bool readable_ = true;
};

}  // namespace velkor
