// The full ID3v2 reader behind velkor's own interface.
#include "tags/id3v2_tag.h"

#include <cstring>
#include <string_view>

#include "frames/frame_dates.h"
#include "frames/frame_genre.h"
#include "frames/frame_table.h"
#include "frames/frame_text.h"
#include "tags/genre_table.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"

namespace velkor {

namespace {

// The layout of a frame body as read_picture uses it.
struct BodyLayout {
    std::size_t prefix = 0;
    bool unsynchronised = false;
};

// Undoes unsynchronisation: every FF 00 pair becomes FF.
std::string resynchronised(ByteSpan bytes) {
    std::string out;
    out.reserve(bytes.size);
    for (std::size_t i = 0; i < bytes.size; ++i) {
        out += static_cast<char>(bytes.data[i]);
        if (bytes.data[i] == 0xFF && i + 1 < bytes.size && bytes.data[i + 1] == 0) ++i;
    }
    return out;
}

// The frame's content, at most `limit` bytes of it (a text's worth, or
// just the start of a picture). They come straight from the source where
// nothing needs undoing (valid until the next fetch), else through
// `storage`. `whole`: nothing was left out.
ByteSpan content_of(TagCursor content, std::size_t limit, std::string& storage, bool& whole) {
    whole = content.left() <= limit;
    if (content.is_plain()) return content.first(limit).rest();
    storage.assign(std::min(limit, content.left()), '\0');
    content.read(reinterpret_cast<uint8_t*>(&storage[0]), storage.size());
    return ByteSpan(reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
}

// The picture frame's first bytes, its stored prefix skipped and its
// unsynchronisation undone.
ByteSpan picture_head(TagCursor body, const BodyLayout& layout, std::size_t limit, std::string& storage) {
    body.skip(layout.prefix);
    if (!layout.unsynchronised) {
        bool whole = false;
        return content_of(body, limit, storage, whole);
    }
    // Resynchronising shrinks the bytes by at most half.
    std::string raw(std::min(limit * 2, body.left()), '\0');
    body.read(reinterpret_cast<uint8_t*>(&raw[0]), raw.size());
    storage = resynchronised(ByteSpan(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
    if (storage.size() > limit) storage.resize(limit);
    return ByteSpan(reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
}

// Values joined by "; ", empty ones left out.
std::string joined_values(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& value : values) {
        if (value.empty()) continue;
        if (!out.empty()) out += "; ";
        out += value;
    }
    return out;
}

// Cuts text to at most `limit` bytes, at the start of a UTF-8 character.
// True when anything was cut.
bool cut_utf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return false;
    std::size_t end = limit;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return true;
}

// The decoded size of a frame body stored with unsynchronisation: its
// stored bytes less one for every FF 00 pair, counted block by block so
// that the body is never held whole.
int64_t resynchronised_size(TagCursor body) {
    constexpr std::size_t kBlock = 64 * 1024;
    int64_t size = 0;
    bool after_ff = false;  // the last byte of the block before was FF
    while (body.left() > 0) {
        const ByteSpan block = body.first(kBlock).rest();
        if (block.size == 0) break;
        std::size_t pairs = 0;
        if (after_ff && block.data[0] == 0) ++pairs;
        for (std::size_t i = 0; i + 1 < block.size; ++i) {
            if (block.data[i] == 0xFF && block.data[i + 1] == 0) ++pairs;
        }
        after_ff = block.data[block.size - 1] == 0xFF;
        size += static_cast<int64_t>(block.size - pairs);
        body.skip(block.size);
    }
    return size;
}

// The type, MIME type and description at the start of a picture's content
// (the frame's own layout undone); the data's offset, or 0 when the
// content is too short for them.
std::size_t picture_fields(ByteSpan bytes, int version, Id3v2Picture& picture) {
    if (bytes.size < 2) return 0;
    const uint8_t encoding = bytes.at(0);
    std::size_t pos = 1;
    if (version == 2) {
        std::string format;
        decode_id3v2_text(0, bytes.from(1).first(3), 0, format);
        picture.mime = picture_mime_of_format(format);
        pos = 4;
    } else {
        pos = decode_id3v2_text(0, bytes, pos, picture.mime);
    }
    picture.type = bytes.at(pos++);
    pos = decode_id3v2_text(encoding, bytes, pos, picture.description);
    if (pos > bytes.size) return 0;
    cut_utf8(picture.mime, kMaxPictureTextBytes);
    cut_utf8(picture.description, kMaxPictureTextBytes);
    return pos;
}

// A picture frame's description: type, MIME type, description, and where
// its data starts. Only the frame's first bytes are read for it; the data's
// size comes from the stored bytes (a data-length field is not trusted).
constexpr std::size_t kPictureHead = 2048;

void read_picture(TagCursor body, const BodyLayout& layout, int version,
                  std::vector<Id3v2Picture>& pictures) {
    const int64_t body_offset = body.source_offset();
    std::string storage;
    const ByteSpan bytes = picture_head(body, layout, kPictureHead, storage);
    Id3v2Picture picture;
    const std::size_t pos = picture_fields(bytes, version, picture);
    if (pos == 0) return;

    // The decoded body's size: the stored size where nothing is undone or
    // the tag's cursor undoes it; else counted over the stored bytes.
    TagCursor content = body;
    content.skip(layout.prefix);
    const int64_t decoded = layout.unsynchronised ? resynchronised_size(content)
                                                  : static_cast<int64_t>(content.left());
    picture.bytes = std::max<int64_t>(0, decoded - static_cast<int64_t>(pos));
    picture.body_offset = body_offset;
    // The bytes the body takes in the tag: more than the frame's size when
    // the tag's unsynchronisation added pairs.
    TagCursor end = body;
    end.skip(end.left());
    picture.stored_size = static_cast<uint32_t>(end.source_offset() - body_offset);
    picture.unsynchronised = layout.unsynchronised || body.unsynchronised();
    picture.data_at = static_cast<uint32_t>(layout.prefix + pos);
    // As content_of reads it: the prefix skipped as stored, the rest resynchronised.
    picture.raw_prefix = layout.unsynchronised ? static_cast<uint32_t>(layout.prefix) : 0;
    pictures.push_back(std::move(picture));
}

// A compressed picture frame: inflated here (within kMaxInflatedFrameSize)
// for its description and size; its data is inflated again when read.
void read_compressed_picture_head(ByteSource& source, const Id3v2Frame& frame, const TagCursor& body,
                                  std::vector<Id3v2Picture>& pictures) {
    Id3v2FrameContent content(source, frame, body);
    if (!content.ok()) return;
    TagCursor& cursor = content.cursor();
    const std::size_t size = cursor.left();
    const ByteSpan head = cursor.first(kPictureHead).rest();
    // The span stays valid only until the next fetch: decode from a copy.
    const std::string copy(reinterpret_cast<const char*>(head.data), head.size);
    Id3v2Picture picture;
    const std::size_t pos =
        picture_fields(ByteSpan(reinterpret_cast<const uint8_t*>(copy.data()), copy.size()), frame.version, picture);
    if (pos == 0) return;
    picture.bytes = static_cast<int64_t>(size - pos);
    picture.body_offset = body.source_offset();
    TagCursor end = body;
    end.skip(end.left());
    picture.stored_size = static_cast<uint32_t>(end.source_offset() - picture.body_offset);
    picture.unsynchronised = body.unsynchronised();
    picture.data_at = static_cast<uint32_t>(pos);
    picture.compressed = true;
    picture.frame = frame;
    pictures.push_back(std::move(picture));
}

}  // namespace

std::vector<uint8_t> read_compressed_picture(ByteSource& source, const Id3v2Picture& picture) {
    TagCursor body(source, picture.body_offset, picture.body_offset + picture.stored_size, picture.unsynchronised);
    Id3v2FrameContent content(source, picture.frame, body);
    std::vector<uint8_t> data;
    if (!content.ok() || content.cursor().left() != picture.data_at + static_cast<uint64_t>(picture.bytes)) {
        return data;
    }
    content.cursor().skip(picture.data_at);
    data.resize(static_cast<std::size_t>(picture.bytes));
    content.cursor().read(data.data(), data.size());
    return data;
}

namespace {

// What the frames decoded at the tag's reading have taken so far.
struct DecodeBudget {
    int64_t stored = 0;    // the bytes in the tag of those the common facts use
    int64_t inflated = 0;  // what the compressed ones of them inflated to
    int64_t others = 0;    // the bytes in the tag of the others
};

// What decoding a picture frame reads of it at most: its values stand in
// the first 2 KiB of its content, which unsynchronisation may double, and
// a prefix.
constexpr uint32_t kPictureHeadBytes = 2 * 2048 + 16;

// Decodes the frame just listed when it is small: those the common facts
// use within their budget as ever, the others (not compressed) within one
// of their own, so that no caller decodes them again. A picture counts as
// small, as only its first bytes are read. True when decoded.
bool decode_small_frame(ByteSource& source, const Id3v2Frame& frame, const Id3v2FrameRow* row, const TagCursor& body,
                        DecodeBudget& budget, Id3v2Tag& tag) {
    const Id3v2FrameEntry& entry = tag.frames.back();
    const bool common = row != nullptr && row->common;
    const bool picture = !common && row != nullptr && row->kind == Id3v2FrameKind::kPicture;
    const uint32_t taken = picture ? std::min(entry.stored_size, kPictureHeadBytes) : entry.stored_size;
    if (taken > kDecodedFrameBytes) return false;
    const Id3v2BodyLayout layout = id3v2_body_layout(frame);
    if (layout.encrypted) return false;
    if (common) {
        if (budget.stored + entry.stored_size > kDecodedTagBytes ||
            (layout.compressed && budget.inflated > kDecodedTagBytes)) {
            return false;
        }
        budget.stored += entry.stored_size;
    } else {
        if (layout.compressed || budget.others + taken > kDecodedTagBytes) return false;
        budget.others += taken;
    }
    if (tag.decoded.empty()) tag.decoded.reserve(16);
    tag.decoded.emplace_back();
    Id3v2DecodedFrame& decoded = tag.decoded.back();
    decoded.index = tag.frames.size() - 1;
    decoded.common = common;
    decoded.values = read_id3v2_frame_values(source, frame, body);
    if (layout.compressed) budget.inflated += decoded.values.content_size;
    return true;
}

}  // namespace

std::string picture_data(const Id3v2Picture& picture, ByteSpan stored) {
    const ByteSpan prefix = stored.first(picture.unsynchronised ? picture.raw_prefix : 0);
    std::string body(reinterpret_cast<const char*>(prefix.data), prefix.size);
    const ByteSpan rest = stored.from(prefix.size);
    body += picture.unsynchronised ? resynchronised(rest)
                                   : std::string(reinterpret_cast<const char*>(rest.data), rest.size);
    if (body.size() < picture.data_at + static_cast<uint64_t>(picture.bytes)) return {};
    return body.substr(picture.data_at, static_cast<std::size_t>(picture.bytes));
}

Id3v2Tag read_id3v2_tag(ByteSource& source, int64_t length) {
    Id3v2Tag tag;
    Id3v2Header header;
    if (!parse_id3v2_header(source.bytes(0, Id3v2Header::kSize), header) || header.version < 2 ||
        header.version > 4) {
        return tag;
    }
    tag.version = header.version;
    tag.unsynchronised = (header.flags & Id3v2Header::kFlagUnsynchronisation) != 0;
    std::string recorded, day_month, time, first_year;
    bool comment_has_empty_description = false;
    uint32_t fields_seen = 0;  // one bit per Field: the first frame of each wins
    DecodeBudget budget;

    Id3v2FrameWalk walk(source, header, length);
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        ++tag.frame_count;
        const Id3v2FrameRow* row = id3v2_frame_row(frame.id, header.version);
        bool decoded = false;
        if (tag.frames.size() < kMaxListedFrames) {
            Id3v2FrameEntry entry;
            std::memcpy(entry.id, frame.id, sizeof entry.id);
            entry.flags = frame.flags;
            entry.size = frame.size;
            entry.body_offset = body.source_offset();
            TagCursor end = body;
            end.skip(end.left());
            entry.stored_size = static_cast<uint32_t>(end.source_offset() - entry.body_offset);
            if (tag.frames.empty()) tag.frames.reserve(16);  // a typical tag's frames at one allocation
            tag.frames.push_back(entry);
            decoded = decode_small_frame(source, frame, row, body, budget, tag);
        }
        if (!row || row->field == Id3v2Field::kNone) continue;
        const Id3v2Field field = row->field;
        const uint32_t field_bit = 1u << static_cast<unsigned>(field);
        if (field == Id3v2Field::kPicture) {
            const Id3v2BodyLayout layout = id3v2_body_layout(frame);
            // An encrypted picture is no picture: only its owner can read it.
            if (layout.encrypted) continue;
            ++tag.picture_frames;
            if (tag.pictures.size() < kMaxPictures) {
                if (layout.compressed) {
                    read_compressed_picture_head(source, frame, body, tag.pictures);
                } else {
                    read_picture(body, BodyLayout{layout.prefix, layout.unsynchronised}, header.version, tag.pictures);
                }
            } else {
                tag.truncated = true;
            }
            continue;
        }
        if (field != Id3v2Field::kComment && (fields_seen & field_bit)) continue;
        Id3v2FrameValues own;
        if (!decoded || tag.decoded.back().values.kind == Id3v2FrameKind::kOther) {
            Id3v2FrameContent content(source, frame, body);
            if (!content.ok()) continue;
            std::string storage;
            bool whole = false;
            // The encoding byte and a text's worth; decoding may grow it, so
            // the text is cut once more below.
            const ByteSpan bytes = content_of(content.cursor(), kMaxTextBytes + 1, storage, whole);
            if (bytes.size == 0) continue;
            tag.truncated = tag.truncated || !whole;
            // The span may be the source's own: decoded from a copy, as the
            // codec reads it whole.
            const std::string copy(reinterpret_cast<const char*>(bytes.data), bytes.size);
            own = decode_id3v2_frame(row->key(), ByteSpan(reinterpret_cast<const uint8_t*>(copy.data()), copy.size()),
                                     header.version);
        } else {
            // Decoded from the same first bytes of the same content.
            const Id3v2FrameValues& small = tag.decoded.back().values;
            if (!small.readable || small.content_size == 0) continue;
            tag.truncated = tag.truncated || small.content_size > static_cast<int64_t>(kMaxTextBytes + 1);
        }
        fields_seen |= field_bit;
        const Id3v2FrameValues& values = decoded && tag.decoded.back().values.kind != Id3v2FrameKind::kOther
                                             ? tag.decoded.back().values
                                             : own;
        std::string text = joined_values(values.values);
        tag.truncated = cut_utf8(text, kMaxTextBytes) || tag.truncated || values.truncated;
        if (field == Id3v2Field::kComment) {
            // Players keep their own data in comments with a description;
            // the one without a description is the user's.
            if (values.description.empty() || !comment_has_empty_description) tag.comment = std::move(text);
            comment_has_empty_description = comment_has_empty_description || values.description.empty();
            continue;
        }
        switch (field) {
            case Id3v2Field::kTitle: tag.title = std::move(text); break;
            case Id3v2Field::kArtist: tag.artist = std::move(text); break;
            case Id3v2Field::kAlbum: tag.album = std::move(text); break;
            case Id3v2Field::kAlbumArtist: tag.album_artist = std::move(text); break;
            case Id3v2Field::kYear:
                tag.year = std::move(text);
                // Several years: the first is the one TDAT and TIME belong to.
                if (!values.values.empty()) first_year = values.values.front();
                break;
            case Id3v2Field::kRecorded: recorded = std::move(text); break;
            case Id3v2Field::kTrack: tag.track = std::move(text); break;
            case Id3v2Field::kDisc: tag.disc = std::move(text); break;
            case Id3v2Field::kGenre:
                tag.genre = resolve_genre(values.values);
                tag.truncated = cut_utf8(tag.genre, kMaxTextBytes) || tag.truncated;
                break;
            case Id3v2Field::kComposer: tag.composer = std::move(text); break;
            case Id3v2Field::kDayMonth: day_month = std::move(text); break;
            case Id3v2Field::kTime: time = std::move(text); break;
            default: break;
        }
    }
    // The recording time of version 2.4 holds the year and more.
    tag.date = recorded.empty() ? id3v2_date_of(first_year, day_month, time) : recorded;
    if (!recorded.empty()) tag.year = recorded;
    return tag;
}

}  // namespace velkor
