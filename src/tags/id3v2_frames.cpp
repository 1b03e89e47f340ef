// Walking the frames of an ID3v2 tag.
#include "tags/id3v2_frames.h"

#include "base/big_endian.h"

namespace velkor {

namespace {

bool is_id_char(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

Id3v2FrameWalk::Id3v2FrameWalk(ByteSource& source, const Id3v2Header& header, int64_t length)
    : walk_(source, Id3v2Header::kSize, length,
            header.version <= 3 && (header.flags & Id3v2Header::kFlagUnsynchronisation) != 0),
      version_(header.version),
      header_size_(header.version == 2 ? 6 : 10),
      id_size_(header.version == 2 ? 3 : 4) {
    if (version_ < 2 || version_ > 4) {
        readable_ = false;
        return;
    }
    if (version_ >= 3 && (header.flags & Id3v2Header::kFlagExtendedHeader)) {
        // Its size counts the bytes behind the size field in 2.3, all of
        // them in 2.4.
        uint8_t size_bytes[4];
        walk_.read(size_bytes, 4);
        const ByteSpan size_span(size_bytes, 4);
        const uint32_t size = version_ == 3 ? big_endian32(size_span, 0) : syncsafe32(size_span, 0);
        const uint32_t behind = version_ == 3 ? size : (size >= 4 ? size - 4 : 0);
        if (behind > walk_.left()) {
            readable_ = false;
            return;
        }
        walk_.skip(behind);
    }
}

bool Id3v2FrameWalk::frame_starts_at(std::size_t skip) const {
    if (skip >= walk_.left()) return true;  // the tag ends there
    TagCursor probe = walk_.first(skip + 4);
    probe.skip(skip);
    uint8_t id[4];
    probe.read(id, 4);
    if (id[0] == 0) return true;  // padding
    for (uint8_t c : id) {
        if (!is_id_char(c)) return false;
    }
    return true;
}

uint32_t Id3v2FrameWalk::v24_size(const uint8_t (&size_bytes)[4]) const {
    const ByteSpan span(size_bytes, 4);
    const uint32_t plain = big_endian32(span, 0);
    if ((size_bytes[0] | size_bytes[1] | size_bytes[2] | size_bytes[3]) & 0x80) return plain;
    const uint32_t syncsafe = syncsafe32(span, 0);
    if (syncsafe == plain || frame_starts_at(syncsafe)) return syncsafe;
    return frame_starts_at(plain) ? plain : syncsafe;
}

bool Id3v2FrameWalk::next(Id3v2Frame& frame, TagCursor& body) {
    // A frame is looked at while its header and one body byte are there.
    if (!readable_ || walk_.left() < header_size_ + 1) return false;
    const std::size_t left_at_frame = walk_.left();
    uint8_t header[10];
    walk_.read(header, header_size_);
    frame = Id3v2Frame();
    for (std::size_t i = 0; i < id_size_; ++i) {
        if (header[i] == 0) return readable_ = false;  // padding behind the last frame
        frame.id[i] = static_cast<char>(header[i]);
    }
    const ByteSpan span(header, header_size_);
    if (version_ == 2) {
        frame.size = big_endian(span, 3, 3);
    } else {
        // The walk stands on the body now: v24_size probes from there.
        const uint8_t size_bytes[4] = {header[4], header[5], header[6], header[7]};
        frame.size = version_ == 4 ? v24_size(size_bytes) : big_endian32(span, 4);
        frame.flags = static_cast<uint16_t>(big_endian(span, 8, 2));
    }
    if (frame.size < 1 || frame.size > left_at_frame) return readable_ = false;
    body = walk_.first(frame.size);
    walk_.skip(frame.size);
    return true;
}

}  // namespace velkor
