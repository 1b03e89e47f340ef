// The frames of an ID3v2 tag, one after the other: the walk every ID3v2
// reader shares. It knows the three frame layouts (2.2, 2.3, 2.4), skips an
// extended header, passes over frames of size 0 and frames whose id is not
// made of A-Z and 0-9, and ends quietly at
// padding, at a size that does not fit and at the end of the tag. Only
// frame headers are fetched; a frame's body is handed out as a cursor, so a
// body nobody reads is never fetched. Id3v2FrameContent then gives a body's
// content as its readers need it: group and length fields skipped,
// unsynchronisation undone, compression inflated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/byte_source.h"
#include "tags/id3v2_header.h"
#include "tags/tag_cursor.h"

namespace velkor {

struct Id3v2Frame {
    char id[5] = {};        // three or four characters and a zero
    uint32_t size = 0;      // body bytes as the header gives them
    uint16_t flags = 0;     // versions 2.3 and 2.4; 0 for 2.2
    uint8_t version = 0;    // the tag's major version: 2, 3 or 4
    bool tag_unsynchronised = false;  // the tag header's flag (2.4: every frame's)
};

// Frame flags that change how a body is stored.
struct Id3v2FrameFlags {
    static constexpr uint16_t kV23Compressed = 0x0080, kV23Encrypted = 0x0040, kV23Grouped = 0x0020;
    static constexpr uint16_t kV24Grouped = 0x0040, kV24Compressed = 0x0008, kV24Encrypted = 0x0004,
                              kV24Unsynchronised = 0x0002, kV24DataLength = 0x0001;
};

// How a frame's body is stored: what stands in front of the content, and
// what must be undone to read it.
struct Id3v2BodyLayout {
    bool compressed = false;
    bool encrypted = false;
    bool unsynchronised = false;  // per frame (version 2.4); the walk undoes the tag's in 2.2/2.3
    std::size_t prefix = 0;       // group byte, encryption method, sizes
    bool has_declared_size = false;  // compressed: the inflated size stands in the prefix
};
Id3v2BodyLayout id3v2_body_layout(const Id3v2Frame& frame);

class Id3v2FrameWalk {
public:
    // The tag at offset 0 of source, `length` bytes of it (header
    // included). Versions 2 to 4 are walked; for any other the walk is
    // empty.
    Id3v2FrameWalk(ByteSource& source, const Id3v2Header& header, int64_t length);
    // Frames embedded in another frame's content (CHAP, CTOC): the bytes
    // [from, end) of source, in the layout of `version`, no header before.
    Id3v2FrameWalk(ByteSource& source, int version, int64_t from, int64_t end);

    // The next frame and a cursor over its body; false at the end.
    bool next(Id3v2Frame& frame, TagCursor& body);
    // Frames passed over so far because their id is not one (bytes other
    // than A-Z and 0-9).
    int skipped() const { return skipped_; }

private:
    // A version 2.4 size: syncsafe as written, but some taggers wrote plain
    // numbers. The plain reading wins when the syncsafe one cannot be right
    // (a byte with its top bit set) or lands off the next frame's header
    // while the plain one lands on it.
    uint32_t v24_size(const uint8_t (&size_bytes)[4]) const;
    bool frame_starts_at(std::size_t skip) const;
    void skip_extended_header();

    TagCursor walk_;
    int version_;
    bool tag_unsynchronised_ = false;
    std::size_t header_size_;
    std::size_t id_size_;
    bool readable_ = true;
    int skipped_ = 0;
};

// A frame's content as its readers want it. Stored as it is, the cursor
// reads the tag's own bytes (fetched as they are read); compressed, the
// content is inflated here (at most kMaxInflatedFrameSize bytes) and the
// cursor reads that.
class Id3v2FrameContent {
public:
    enum class Status { kOk, kEncrypted, kCorrupt, kTooLarge };

    Id3v2FrameContent(ByteSource& source, const Id3v2Frame& frame, TagCursor body);
    Id3v2FrameContent(const Id3v2FrameContent&) = delete;
    Id3v2FrameContent& operator=(const Id3v2FrameContent&) = delete;

    Status status() const { return status_; }
    bool ok() const { return status_ == Status::kOk; }
    bool compressed() const { return compressed_; }
    // Compressed, and inflated to another size than the frame declares.
    bool size_differs() const { return size_differs_; }
    // The content, front to back; empty unless ok().
    TagCursor& cursor() { return cursor_; }

private:
    Status status_ = Status::kOk;
    bool compressed_ = false;
    bool size_differs_ = false;
    std::vector<uint8_t> inflated_;
    SpanSource inflated_source_{ByteSpan()};
    TagCursor cursor_;
};

}  // namespace velkor
