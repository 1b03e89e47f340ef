// The ID3v2.2/2.3 reader: walks the frames of a tag of any size and keeps
// the texts of the title, album, artist, comment, genre, track and year
// frames. One forward pass, no allocation, no read outside the tag whatever
// the bytes say; only frame headers and the bodies of the frames it keeps
// are fetched, so a large picture costs nothing.
#include <algorithm>
#include <cstring>

#include "base/decimal_text.h"
#include "tags/id3v2_header.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr uint8_t kEncodingUtf16 = 1;
constexpr std::size_t kLanguageSize = 3;
constexpr std::size_t kMaxChars = TagRecord::kTextSize - 1;

// The bytes behind the tag header, read front to back. Bytes are fetched
// from the source only when they are read: skip() just moves on, so a
// picture's bytes are never fetched. With the tag's unsynchronisation flag
// (version 2.3 and before) every FF 00 pair is delivered as FF alone; as
// the pairs shift every later offset, such a tag is fetched whole. left()
// counts the bytes still to come after that undoing, so frame sizes are
// checked against what the frames really have.
class TagCursor {
public:
    // The tag's bytes from offset `from` up to `end`.
    TagCursor(ByteSource& source, int64_t from, int64_t end, bool unsync)
        : source_(source), unsync_(unsync) {
        const std::size_t count = end > from ? static_cast<std::size_t>(end - from) : 0;
        if (unsync_) {
            bytes_ = source.bytes(from, count);
            left_ = delivered_count(bytes_);
        } else {
            pos_ = static_cast<std::size_t>(from);
            left_ = count;
        }
    }

    std::size_t left() const { return left_; }

    // The next byte, or 0 once nothing is left.
    uint8_t next() {
        if (left_ == 0) return 0;
        --left_;
        if (!unsync_) return source_.bytes(static_cast<int64_t>(pos_++), 1).at(0);
        uint8_t b = bytes_.at(pos_++);
        if (is_stuffed_zero(pos_, b)) ++pos_;
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
        if (!unsync_) {
            const ByteSpan got = source_.bytes(static_cast<int64_t>(pos_), std::min(n, left_));
            i = got.size;
            if (i > 0) std::memcpy(dest, got.data, i);
            pos_ += i;
            left_ -= i;
        }
        for (; i < n; ++i) dest[i] = next();
    }

    // A big-endian number of `width` bytes.
    uint32_t read_be(std::size_t width) {
        uint32_t value = 0;
        while (width-- > 0) value = (value << 8) | next();
        return value;
    }

    // Whether the bytes still to come stand in the tag as they are
    // delivered (no unsynchronisation to undo): then rest() holds them,
    // valid until the next read.
    bool is_plain() const { return !unsync_; }
    ByteSpan rest() const { return source_.bytes(static_cast<int64_t>(pos_), left_); }

    // A cursor over the next n bytes only (fewer at the end); this cursor
    // does not move.
    TagCursor first(std::size_t n) const {
        TagCursor part = *this;
        part.left_ = std::min(n, left_);
        return part;
    }

private:
    bool is_stuffed_zero(std::size_t i, uint8_t previous) const {
        return previous == 0xFF && i < bytes_.size && bytes_.data[i] == 0;
    }

    static std::size_t delivered_count(ByteSpan bytes) {
        std::size_t count = 0;
        for (std::size_t i = 0; i < bytes.size; ++count) {
            uint8_t b = bytes.data[i++];
            if (b == 0xFF && i < bytes.size && bytes.data[i] == 0) ++i;
        }
        return count;
    }

    ByteSource& source_;
    bool unsync_;
    ByteSpan bytes_;  // the whole tag, with unsynchronisation only
    std::size_t pos_ = 0;
    std::size_t left_ = 0;
};

// Where a frame header keeps its parts, by tag version.
struct FrameLayout {
    std::size_t header_size;
    std::size_t id_size;
    std::size_t size_width;
};
constexpr FrameLayout kLayoutV22 = {6, 3, 3};
constexpr FrameLayout kLayoutV23 = {10, 4, 4};
static_assert(kLayoutV23.header_size >= kLayoutV22.header_size,
              "frame headers are read into room for the larger");

enum class FrameKind { kText, kNumber, kComment };

struct FrameRow {
    const char* id_v23;
    const char* id_v22;
    TagRecord::Text TagRecord::*field;
    FrameKind kind;
    int32_t TagRecord::*number;
};

constexpr FrameRow kFrameTable[] = {
    {"TIT2", "TT2", &TagRecord::v2_title, FrameKind::kText, nullptr},
    {"TALB", "TAL", &TagRecord::v2_album, FrameKind::kText, nullptr},
    {"TPE1", "TP1", &TagRecord::v2_artist, FrameKind::kText, nullptr},
    {"COMM", "COM", &TagRecord::v2_comment, FrameKind::kComment, nullptr},
    {"TCON", "TCO", &TagRecord::v2_genre, FrameKind::kText, nullptr},
    {"TRCK", "TRK", &TagRecord::v2_track, FrameKind::kNumber, &TagRecord::track},
    {"TYER", "TYE", &TagRecord::v2_year, FrameKind::kNumber, &TagRecord::year},
};

const FrameRow* find_row(const char* id, bool v23) {
    // Both are exactly the version's id length: no zero byte to look for.
    // The lengths are constants, so that each comparison is a single one.
    for (const FrameRow& row : kFrameTable) {
        if (v23 ? std::memcmp(id, row.id_v23, 4) == 0 : std::memcmp(id, row.id_v22, 3) == 0) return &row;
    }
    return nullptr;
}

// Reads one zero-terminated text of the frame's encoding into out, keeping
// at most 30 characters but consuming up to and including its terminator (or
// to the end of the body), so that a text behind it can be read next.
// Encoding 1 is UTF-16 with a byte-order mark (little-endian without one):
// each code unit 01..FF becomes that byte, every other one '?'. Any other
// encoding byte is taken as 8-bit text as it stands.
void read_text(TagCursor& body, uint8_t encoding, TagRecord::Text& out) {
    std::memset(out, 0, sizeof out);
    std::size_t n = 0;
    auto keep = [&](char c) {
        if (n < kMaxChars) out[n++] = c;
    };
    if (encoding != kEncodingUtf16) {
        if (body.is_plain()) {
            // The usual case, taken at once rather than byte by byte.
            const ByteSpan rest = body.rest();
            const void* zero = rest.size > 0 ? std::memchr(rest.data, 0, rest.size) : nullptr;
            const std::size_t length =
                zero ? static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - rest.data) : rest.size;
            if (length > 0) std::memcpy(out, rest.data, std::min(length, kMaxChars));
            body.skip(zero ? length + 1 : length);
            return;
        }
        while (body.left() > 0) {
            uint8_t b = body.next();
            if (b == 0) return;
            keep(static_cast<char>(b));
        }
        return;
    }
    bool big_endian = false;
    bool first = true;
    while (body.left() >= 2) {
        uint8_t b0 = body.next();
        uint8_t b1 = body.next();
        uint16_t unit = big_endian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (first) {
            first = false;
            if (unit == 0xFEFF) continue;  // FF FE: little-endian
            if (unit == 0xFFFE) {          // FE FF: big-endian
                big_endian = true;
                continue;
            }
        }
        if (unit == 0) return;
        keep(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
    body.skip(body.left());  // an odd byte at the end is no character
}

}  // namespace

int32_t TagRecord::LoadTag2(ByteSpan buffer, int32_t iLength) {
    SpanSource source(buffer);
    return LoadTag2(source, std::min<int64_t>(iLength, static_cast<int64_t>(buffer.size)));
}

int32_t TagRecord::LoadTag2(ByteSource& source, int64_t iLength) {
    for (Text* field : {&v2_title, &v2_album, &v2_artist, &v2_comment, &v2_genre, &v2_track,
                        &v2_year}) {
        std::memset(*field, 0, sizeof *field);
    }
    const ByteSpan head = source.bytes(0, Id3v2Header::kSize);
    const int32_t iVersion = head.at(3);
    if (iVersion != 2 && iVersion != 3) return 0;
    const bool v23 = iVersion == 3;
    const FrameLayout& layout = v23 ? kLayoutV23 : kLayoutV22;

    const uint8_t flags = iLength > 5 ? head.at(5) : 0;
    TagCursor walk(source, Id3v2Header::kSize, iLength,
                   (flags & Id3v2Header::kFlagUnsynchronisation) != 0);
    if (v23 && (flags & Id3v2Header::kFlagExtendedHeader)) {
        const uint32_t extended_size = walk.read_be(4);
        if (extended_size > walk.left()) return 0;
        walk.skip(extended_size);
    }

    int32_t result = 0;
    bool comment_has_empty_description = false;
    // A frame is looked at while its header and its encoding byte are there.
    while (walk.left() >= layout.header_size + 1) {
        const std::size_t left_at_frame = walk.left();
        uint8_t frame_header[kLayoutV23.header_size];
        walk.read(frame_header, layout.header_size);
        char sChunkId[5] = {};
        bool id_has_zero = false;
        for (std::size_t i = 0; i < layout.id_size; ++i) {
            sChunkId[i] = static_cast<char>(frame_header[i]);
            id_has_zero = id_has_zero || sChunkId[i] == '\0';
        }
        if (id_has_zero) break;  // padding behind the last frame
        uint32_t iChunkLength = 0;
        for (std::size_t i = 0; i < layout.size_width; ++i) {
            iChunkLength = (iChunkLength << 8) | frame_header[layout.id_size + i];
        }
        if (iChunkLength < 1 || iChunkLength > left_at_frame) break;

        if (const FrameRow* row = find_row(sChunkId, v23)) {
            TagCursor body = walk.first(iChunkLength);
            const uint8_t encoding = body.next();
            Text& field = this->*(row->field);
            if (row->kind == FrameKind::kComment) {
                Text description;
                Text text;
                body.skip(kLanguageSize);
                read_text(body, encoding, description);
                read_text(body, encoding, text);
                // Players write their own data into comments with a
                // description; the one without a description is the user's.
                const bool empty_description = description[0] == '\0';
                if (empty_description || !comment_has_empty_description) {
                    std::memcpy(field, text, sizeof field);
                }
                comment_has_empty_description = comment_has_empty_description || empty_description;
            } else {
                read_text(body, encoding, field);
                if (row->number) this->*(row->number) = decimal_value(field, kMaxChars);
            }
            result = 1;
        }
        walk.skip(iChunkLength);
    }
    return result;
}

}  // namespace velkor
