// A cursor over the bytes of an ID3v2 tag, fetched from a ByteSource as
// they are read, with the tag-wide unsynchronisation of versions 2.2 and
// 2.3 undone on the way.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_source.h"

namespace velkor {

// The bytes behind the tag header, read front to back. Bytes are fetched
// from the source only when they are read: skip() just moves on, so a
// picture's bytes are never fetched. With the tag's unsynchronisation flag
// (version 2.3 and before) every FF 00 pair is delivered as FF alone; the
// pairs are counted once, in blocks, and bytes are then fetched as they are
// delivered, so such a tag is never held whole either. left() counts the
// bytes still to come after that undoing, so frame sizes are checked
// against what the frames really have.
class TagCursor {
public:
    // An empty cursor.
    TagCursor() = default;
    // The tag's bytes from offset `from` up to `end`.
    TagCursor(ByteSource& source, int64_t from, int64_t end, bool unsync)
        : source_(&source), unsync_(unsync) {
        const std::size_t count = end > from ? static_cast<std::size_t>(end - from) : 0;
        if (unsync_) {
            from_ = from;
            left_ = delivered_count(source, from, count, raw_size_);
        } else {
            pos_ = static_cast<std::size_t>(from);
            left_ = count;
        }
    }

    std::size_t left() const { return left_; }
    // Where the next byte stands in the source, and whether the bytes from
    // there must be resynchronised to be read.
    int64_t source_offset() const { return unsync_ ? from_ + static_cast<int64_t>(pos_) : static_cast<int64_t>(pos_); }
    bool unsynchronised() const { return unsync_; }

    // The next byte, or 0 once nothing is left.
    uint8_t next() {
        if (left_ == 0) return 0;
        --left_;
        if (!unsync_) return source_->bytes(static_cast<int64_t>(pos_++), 1).at(0);
        uint8_t b = raw_byte(pos_++);
        if (b == 0xFF && pos_ < raw_size_ && raw_byte(pos_) == 0) ++pos_;
        return b;
    }

    void skip(std::size_t n) {
        n = std::min(n, left_);
        if (!unsync_) {
            pos_ += n;
            left_ -= n;
            return;
        }
        while (n-- > 0) next();
    }

    // The next n bytes into dest; zeros for those past the end.
    void read(uint8_t* dest, std::size_t n) {
        std::size_t i = 0;
        if (!unsync_ && left_ > 0) {
            const ByteSpan got = source_->bytes(static_cast<int64_t>(pos_), std::min(n, left_));
            i = got.size;
            if (i > 0) std::memcpy(dest, got.data, i);
            pos_ += i;
            left_ -= i;
        }
        for (; i < n; ++i) dest[i] = next();
    }

    // Whether the bytes still to come stand in the tag as they are
    // delivered (no unsynchronisation to undo): then rest() holds them,
    // valid until the next read.
    bool is_plain() const { return !unsync_; }
    ByteSpan rest() const {
        return left_ > 0 ? source_->bytes(static_cast<int64_t>(pos_), left_) : ByteSpan();
    }

    // A cursor over the next n bytes only (fewer at the end); this cursor
    // does not move.
    TagCursor first(std::size_t n) const {
        TagCursor part = *this;
        part.left_ = std::min(n, left_);
        return part;
    }

private:
    uint8_t raw_byte(std::size_t i) const { return source_->bytes(from_ + static_cast<int64_t>(i), 1).at(0); }

    // The bytes delivered from the `count` stored at `from` (fewer where
    // the source ends, which sets raw_size), read in blocks.
    static std::size_t delivered_count(ByteSource& source, int64_t from, std::size_t count, std::size_t& raw_size) {
        constexpr std::size_t kBlock = 64 * 1024;
        std::size_t delivered = 0;
        bool after_ff = false;  // a 00 next is a stuffed one
        raw_size = 0;
        while (raw_size < count) {
            const ByteSpan block = source.bytes(from + static_cast<int64_t>(raw_size), std::min(kBlock, count - raw_size));
            if (block.size == 0) break;
            for (std::size_t i = 0; i < block.size; ++i) {
                const uint8_t b = block.data[i];
                if (after_ff && b == 0) {
                    after_ff = false;
                    continue;
                }
                after_ff = b == 0xFF;
                ++delivered;
            }
            raw_size += block.size;
        }
        return delivered;
    }

    ByteSource* source_ = nullptr;
    bool unsync_ = false;
    std::size_t raw_size_ = 0;  // the stored bytes, with unsynchronisation only
    int64_t from_ = 0;
    std::size_t pos_ = 0;
    std::size_t left_ = 0;
};

}  // namespace velkor
