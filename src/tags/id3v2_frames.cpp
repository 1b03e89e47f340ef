// Walking the frames of an ID3v2 tag, and reading a frame's content.
#include "tags/id3v2_frames.h"

#include "base/big_endian.h"
#include "tags/frame_inflate.h"

namespace velkor {

namespace {

bool is_id_char(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The smallest version 2.4 extended header: size, flag-byte count, flags.
constexpr uint32_t kMinV24ExtendedHeader = 6;

}  // namespace

Id3v2BodyLayout id3v2_body_layout(const Id3v2Frame& frame) {
    using F = Id3v2FrameFlags;
    Id3v2BodyLayout layout;
    if (frame.version == 3) {
        // Behind the header: inflated size, encryption method, group, in
        // that order.
        layout.compressed = (frame.flags & F::kV23Compressed) != 0;
        layout.encrypted = (frame.flags & F::kV23Encrypted) != 0;
        layout.has_declared_size = layout.compressed;
        layout.prefix = (layout.compressed ? 4 : 0) + (layout.encrypted ? 1 : 0) +
                        ((frame.flags & F::kV23Grouped) ? 1 : 0);
    } else if (frame.version == 4) {
        // Group, encryption method, data length, in that order.
        layout.compressed = (frame.flags & F::kV24Compressed) != 0;
        layout.encrypted = (frame.flags & F::kV24Encrypted) != 0;
        layout.has_declared_size = (frame.flags & F::kV24DataLength) != 0;
        layout.prefix = ((frame.flags & F::kV24Grouped) ? 1 : 0) + (layout.encrypted ? 1 : 0) +
                        (layout.has_declared_size ? 4 : 0);
        layout.unsynchronised = frame.tag_unsynchronised || (frame.flags & F::kV24Unsynchronised);
    }
    return layout;
}

Id3v2FrameWalk::Id3v2FrameWalk(ByteSource& source, const Id3v2Header& header, int64_t length)
    : walk_(source, Id3v2Header::kSize, length,
            header.version <= 3 && (header.flags & Id3v2Header::kFlagUnsynchronisation) != 0),
      version_(header.version),
      tag_unsynchronised_((header.flags & Id3v2Header::kFlagUnsynchronisation) != 0),
      header_size_(header.version == 2 ? 6 : 10),
      id_size_(header.version == 2 ? 3 : 4) {
    if (version_ < 2 || version_ > 4) {
        readable_ = false;
        return;
    }
    if (version_ >= 3 && (header.flags & Id3v2Header::kFlagExtendedHeader)) skip_extended_header();
}

Id3v2FrameWalk::Id3v2FrameWalk(ByteSource& source, int version, int64_t from, int64_t end)
    : walk_(source, from, end, false),
      version_(version),
      header_size_(version == 2 ? 6 : 10),
      id_size_(version == 2 ? 3 : 4) {
    readable_ = version_ >= 2 && version_ <= 4;
}

void Id3v2FrameWalk::skip_extended_header() {
    // Its size counts the bytes behind the size field in 2.3, all of them
    // in 2.4.
    const TagCursor at_frames = walk_;
    uint8_t bytes[5] = {};
    walk_.read(bytes, 4);
    const ByteSpan span(bytes, 5);
    if (version_ == 3) {
        const uint32_t behind = big_endian32(span, 0);
        if (behind > walk_.left()) {
            readable_ = false;
            return;
        }
        walk_.skip(behind);
        return;
    }
    // Version 2.4: taggers set the flag without writing the header. One
    // that cannot be (a size not syncsafe, too small or past the tag, a
    // flag-byte count other than 1) means the frames start right here.
    bytes[4] = walk_.next();
    walk_ = at_frames;
    const bool syncsafe = ((bytes[0] | bytes[1] | bytes[2] | bytes[3]) & 0x80) == 0;
    const uint32_t size = syncsafe32(span, 0);
    if (!syncsafe || size < kMinV24ExtendedHeader || size > walk_.left() || bytes[4] != 1) return;
    walk_.skip(size);
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
    // A frame is looked at while its header and one body byte are there; a
    // frame of size 0 is passed over by its header alone.
    while (readable_ && walk_.left() >= header_size_ + 1) {
        const std::size_t left_at_frame = walk_.left();
        uint8_t header[10];
        walk_.read(header, header_size_);
        frame = Id3v2Frame();
        frame.version = static_cast<uint8_t>(version_);
        frame.tag_unsynchronised = tag_unsynchronised_;
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
        if (frame.size == 0) continue;
        if (frame.size > left_at_frame) return readable_ = false;
        body = walk_.first(frame.size);
        walk_.skip(frame.size);
        // An id is made of A-Z and 0-9: anything else is no frame, passed
        // over by its size so that the frames behind it are still read.
        bool valid = true;
        for (std::size_t i = 0; i < id_size_; ++i) valid = valid && is_id_char(static_cast<uint8_t>(frame.id[i]));
        if (!valid) {
            ++skipped_;
            continue;
        }
        return true;
    }
    return false;
}

Id3v2FrameContent::Id3v2FrameContent(ByteSource& source, const Id3v2Frame& frame, TagCursor body) {
    const Id3v2BodyLayout layout = id3v2_body_layout(frame);
    if (layout.encrypted) {
        status_ = Status::kEncrypted;
        return;
    }
    compressed_ = layout.compressed;
    uint8_t prefix[6] = {};
    body.read(prefix, layout.prefix);
    TagCursor content = body;
    if (layout.unsynchronised && body.is_plain()) {
        // Version 2.4 unsynchronises frame by frame: a cursor of its own
        // undoes it over the bytes behind the prefix.
        const int64_t from = body.source_offset();
        content = TagCursor(source, from, from + static_cast<int64_t>(body.left()), true);
    }
    if (!compressed_) {
        cursor_ = content;
        return;
    }
    // The inflated size: 2.3 in front of everything, 2.4 in the data length
    // field, the last four bytes of the prefix. Only noted: the data is
    // inflated for what it holds.
    uint32_t declared = 0;
    if (layout.has_declared_size) {
        const ByteSpan span(prefix, layout.prefix);
        declared = frame.version == 3 ? big_endian32(span, 0) : syncsafe32(span, layout.prefix - 4);
    }
    // zlib data is hardly larger than what it inflates to (stored blocks
    // add 5 bytes in 64 KiB): more than that is not read.
    if (content.left() > kMaxInflatedFrameSize + kMaxInflatedFrameSize / 1024) {
        status_ = Status::kTooLarge;
        return;
    }
    std::vector<uint8_t> stored(content.left());
    content.read(stored.data(), stored.size());
    InflatedFrame inflated = inflate_frame(ByteSpan(stored.data(), stored.size()), declared);
    if (inflated.status != InflateStatus::kOk) {
        status_ = inflated.status == InflateStatus::kTooLarge ? Status::kTooLarge : Status::kCorrupt;
        return;
    }
    size_differs_ = layout.has_declared_size && inflated.size_differs;
    inflated_ = std::move(inflated.bytes);
    inflated_source_ = SpanSource(ByteSpan(inflated_.data(), inflated_.size()));
    cursor_ = TagCursor(inflated_source_, 0, static_cast<int64_t>(inflated_.size()), false);
}

}  // namespace velkor
