// The ID3v2.2/2.3 reader: walks the frames of a tag of any size and keeps
// the texts of the title, album, artist, comment, genre, track and year
// frames. One forward pass, no allocation, no read outside the tag whatever
// the bytes say; only frame headers and the bodies of the frames it keeps
// are fetched, so a large picture costs nothing.
#include <algorithm>
#include <cstring>

#include "base/decimal_text.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_cursor.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr uint8_t kEncodingUtf16 = 1;
constexpr std::size_t kLanguageSize = 3;
constexpr std::size_t kMaxChars = TagRecord::kTextSize - 1;

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
            // The usual case, taken a block at a time rather than byte by
            // byte; a block, not the whole text, so a huge text is never
            // fetched at once.
            constexpr std::size_t kBlock = 64 * 1024;
            while (body.left() > 0) {
                const ByteSpan block = body.first(kBlock).rest();
                if (block.size == 0) return;
                const void* zero = std::memchr(block.data, 0, block.size);
                const std::size_t length =
                    zero ? static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - block.data) : block.size;
                const std::size_t taken = std::min(length, kMaxChars - n);
                if (taken > 0) std::memcpy(out + n, block.data, taken);
                n += taken;
                body.skip(zero ? length + 1 : length);
                if (zero) return;
            }
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

    Id3v2Header header;
    header.version = static_cast<uint8_t>(iVersion);
    header.flags = iLength > 5 ? head.at(5) : 0;
    Id3v2FrameWalk walk(source, header, iLength);

    int32_t result = 0;
    bool comment_has_empty_description = false;
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        if (const FrameRow* row = find_row(frame.id, v23)) {
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
    }
    return result;
}

}  // namespace velkor
