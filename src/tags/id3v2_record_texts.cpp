// The record's ID3v2 reader: walks the frames of a tag of version 2.2, 2.3
// or 2.4 and keeps the title, album, artist, comment, genre, track and year
// texts, each as at most 30 Latin-1 characters ('?' for any other). One
// forward pass through the shared frame walk, no read outside the tag
// whatever the bytes say; only frame headers and the bodies of the frames
// it keeps are fetched, so a large picture costs nothing. Nothing is
// allocated except to inflate a compressed frame.
#include <algorithm>
#include <cstring>

#include "base/decimal_text.h"
#include "base/utf8.h"
#include "frames/frame_table.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_cursor.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr uint8_t kEncodingLatin1 = 0;
constexpr uint8_t kEncodingUtf16 = 1;
constexpr uint8_t kEncodingUtf16BigEndian = 2;
constexpr std::size_t kLanguageSize = 3;
constexpr std::size_t kMaxChars = TagRecord::kTextSize - 1;

// Where a frame's text goes in the record: the named fields of the frame
// table the record keeps, the year and track also as numbers.
struct RecordField {
    TagRecord::Text TagRecord::*text = nullptr;
    int32_t TagRecord::*number = nullptr;
};

RecordField record_field(Id3v2Field field, int version) {
    switch (field) {
        case Id3v2Field::kTitle: return {&TagRecord::v2_title};
        case Id3v2Field::kAlbum: return {&TagRecord::v2_album};
        case Id3v2Field::kArtist: return {&TagRecord::v2_artist};
        case Id3v2Field::kComment: return {&TagRecord::v2_comment};
        case Id3v2Field::kGenre: return {&TagRecord::v2_genre};
        case Id3v2Field::kTrack: return {&TagRecord::v2_track, &TagRecord::track};
        case Id3v2Field::kYear: return {&TagRecord::v2_year, &TagRecord::year};
        // Version 2.4 keeps the year in the recording time ("2004-05-01").
        case Id3v2Field::kRecorded:
            return version == 4 ? RecordField{&TagRecord::v2_year, &TagRecord::year} : RecordField{};
        default: return {};
    }
}

// Reads one zero-terminated text of the frame's encoding into out, keeping
// at most 30 characters but consuming up to and including its terminator (or
// to the end of the body), so that a text behind it can be read next.
// Characters are decoded as every ID3v2 reader decodes them (Latin-1;
// UTF-16 with a byte-order mark, little-endian without one; UTF-16BE;
// UTF-8 for 3 and any other byte) and stored as Latin-1: each one above
// U+00FF, and each byte that is no character, becomes '?'.
void read_text(TagCursor& body, uint8_t encoding, TagRecord::Text& out, bool* carried_order = nullptr) {
    std::memset(out, 0, sizeof out);
    std::size_t n = 0;
    auto keep = [&](uint32_t c) {
        if (n < kMaxChars) out[n++] = c <= 0xFF ? static_cast<char>(c) : '?';
    };
    if (encoding == kEncodingLatin1) {
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
            keep(b);
        }
        return;
    }
    if (encoding != kEncodingUtf16 && encoding != kEncodingUtf16BigEndian) {
        while (body.left() > 0) {
            // One character's bytes at most, looked at before they are taken.
            uint8_t bytes[4];
            TagCursor ahead = body.first(sizeof bytes);
            const std::size_t got = ahead.left();
            ahead.read(bytes, got);
            if (bytes[0] == 0) {
                body.skip(1);
                return;
            }
            uint32_t code_point = 0;
            const std::size_t length = next_utf8(ByteSpan(bytes, got), 0, code_point);
            keep(length == 0 ? kReplacementCharacter : code_point);
            body.skip(length == 0 ? 1 : length);
        }
        return;
    }
    // A text without a byte-order mark takes the order of the one before it.
    bool big_endian = encoding == kEncodingUtf16BigEndian || (carried_order && *carried_order);
    bool first = true;
    uint16_t high = 0;  // a high surrogate waiting for its partner
    struct Carry {
        bool* to;
        const bool& order;
        ~Carry() {
            if (to) *to = order;
        }
    } carry{carried_order, big_endian};
    while (body.left() >= 2) {
        uint8_t b0 = body.next();
        uint8_t b1 = body.next();
        uint16_t unit = big_endian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (first) {
            first = false;
            if (unit == 0xFEFF) continue;  // the mark as the order reads it
            if (unit == 0xFFFE) {          // the mark read the other way round
                big_endian = !big_endian;
                continue;
            }
        }
        if (unit == 0) return;
        // A surrogate pair is one character, beyond Latin-1 either way.
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (!(low && high)) keep(unit);
        high = unit >= 0xD800 && unit <= 0xDBFF ? unit : 0;
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
    if (iVersion < 2 || iVersion > 4) return 0;

    Id3v2Header header;
    header.version = static_cast<uint8_t>(iVersion);
    header.flags = iLength > 5 ? head.at(5) : 0;
    Id3v2FrameWalk walk(source, header, iLength);

    int32_t result = 0;
    bool comment_has_empty_description = false;
    uint32_t fields_seen = 0;  // one bit per field: the first frame wins
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        const Id3v2FrameRow* row = id3v2_frame_row(frame.id, iVersion);
        if (!row) continue;
        const RecordField target = record_field(row->field, iVersion);
        if (!target.text) continue;
        // The year and the recording time fill one field: they share a bit.
        const Id3v2Field field = row->field == Id3v2Field::kRecorded ? Id3v2Field::kYear : row->field;
        const uint32_t field_bit = 1u << static_cast<unsigned>(field);
        if (field != Id3v2Field::kComment && (fields_seen & field_bit)) continue;
        Id3v2FrameContent content(source, frame, body);
        if (!content.ok()) continue;
        TagCursor& text_at = content.cursor();
        const uint8_t encoding = text_at.next();
        Text& out = this->*(target.text);
        if (field == Id3v2Field::kComment) {
            Text description;
            Text text;
            bool big_endian = false;
            text_at.skip(kLanguageSize);
            read_text(text_at, encoding, description, &big_endian);
            read_text(text_at, encoding, text, &big_endian);
            // Players write their own data into comments with a
            // description; the one without a description is the user's.
            const bool empty_description = description[0] == '\0';
            if (empty_description || !comment_has_empty_description) {
                std::memcpy(out, text, sizeof out);
            }
            comment_has_empty_description = comment_has_empty_description || empty_description;
        } else {
            read_text(text_at, encoding, out);
            if (target.number) this->*(target.number) = decimal_value(out, kMaxChars);
        }
        fields_seen |= field_bit;
        result = 1;
    }
    return result;
}

}  // namespace velkor
