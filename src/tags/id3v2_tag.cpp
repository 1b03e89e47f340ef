// The full ID3v2 reader behind velkor's own interface.
#include "tags/id3v2_tag.h"

#include <cstring>
#include <string_view>

#include "tags/common_facts.h"
#include "tags/genre_table.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_text.h"

namespace velkor {

namespace {

enum class Field { kTitle, kArtist, kAlbum, kAlbumArtist, kYear, kRecorded, kTrack, kDisc, kGenre,
                   kComposer, kComment, kPicture, kDayMonth, kTime };

struct FrameName {
    char v23[5];  // also 2.4
    char v22[5];  // "" where 2.2 has no such frame
    Field field;
};

constexpr FrameName kFrames[] = {
    {"TIT2", "TT2", Field::kTitle},     {"TPE1", "TP1", Field::kArtist},
    {"TALB", "TAL", Field::kAlbum},     {"TPE2", "TP2", Field::kAlbumArtist},
    {"TYER", "TYE", Field::kYear},      {"TDRC", "", Field::kRecorded},
    {"TRCK", "TRK", Field::kTrack},     {"TPOS", "TPA", Field::kDisc},
    {"TCON", "TCO", Field::kGenre},     {"TCOM", "TCM", Field::kComposer},
    {"COMM", "COM", Field::kComment},   {"APIC", "PIC", Field::kPicture},
    {"TDAT", "TDA", Field::kDayMonth},  {"TIME", "TIM", Field::kTime},
};

const FrameName* find_frame(const Id3v2Frame& frame, int version) {
    // Ids are exactly the version's length (the zero behind a 2.2 id is
    // compared too), so one fixed-size comparison settles each.
    for (const FrameName& name : kFrames) {
        if (std::memcmp(frame.id, version == 2 ? name.v22 : name.v23, 4) == 0) return &name;
    }
    return nullptr;
}

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
        picture.mime = format == "JPG" ? "image/jpeg" : format == "PNG" ? "image/png" : "image/" + format;
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

std::string resolve_genre(const std::string& text) {
    // One pass over views of the text: nothing is erased or copied from the
    // front, so a frame of a million references costs a million steps.
    std::string out;
    auto add = [&](std::string_view genre) {
        if (genre.empty()) return;
        if (!out.empty()) out += "; ";
        out += genre;
    };
    auto number_name = [](std::string_view digits) -> const char* {
        if (digits.empty() || digits.size() > 3) return nullptr;
        int number = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return nullptr;
            number = number * 10 + (c - '0');
        }
        return GenreTable::extended_name(number);
    };
    const std::string_view all(text);
    // Version 2.4 separates genres by "; " already (from the zero bytes).
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find("; ", start);
        if (end == std::string_view::npos) end = all.size();
        std::string_view part = all.substr(start, end - start);
        // "(17)(18)Refinement": references first, a text of its own last.
        std::string_view last_name;
        while (part.size() > 1 && part[0] == '(' && part[1] != '(') {
            const std::size_t close = part.find(')');
            if (close == std::string_view::npos) break;
            const std::string_view inner = part.substr(1, close - 1);
            const char* name = inner == "RX" ? "Remix" : inner == "CR" ? "Cover" : number_name(inner);
            last_name = name ? name : "";
            if (last_name.empty()) break;
            add(last_name);
            part.remove_prefix(close + 1);
        }
        if (part.size() > 1 && part[0] == '(' && part[1] == '(') part.remove_prefix(1);  // "((" escapes "("
        const char* name = number_name(part);
        if (name && *name) {
            add(name);
        } else if (part != last_name) {
            add(part);
        }
        start = end + 2;
    }
    return out;
}

namespace {

bool is_digits(const std::string& text, std::size_t count) {
    if (text.size() != count) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The 2.2/2.3 date as one ISO 8601 text: the year (TYER), then the day and
// month (TDAT, "DDMM") and the time (TIME, "HHMM") where each is there and
// four digits.
std::string date_of(const std::string& year, const std::string& day_month, const std::string& time) {
    if (!is_digits(year, 4)) return year;
    std::string date = year;
    if (!is_digits(day_month, 4)) return date;
    date += "-" + day_month.substr(2, 2) + "-" + day_month.substr(0, 2);
    if (is_digits(time, 4)) date += "T" + time.substr(0, 2) + ":" + time.substr(2, 2);
    return date;
}

// What the frames decoded at the tag's reading have taken so far.
struct DecodeBudget {
    int64_t stored = 0;    // their bytes in the tag
    int64_t inflated = 0;  // what the compressed ones inflated to
};

void decode_small_frame(ByteSource& source, const Id3v2Frame& frame, const TagCursor& body, DecodeBudget& budget,
                        Id3v2Tag& tag) {
    const Id3v2FrameEntry& entry = tag.frames.back();
    const char* id = frame.version == 2 ? id3v2_v24_id(frame.id) : frame.id;
    if (entry.stored_size > kDecodedFrameBytes || budget.stored + entry.stored_size > kDecodedTagBytes ||
        !common_facts_use(id)) {
        return;
    }
    const Id3v2BodyLayout layout = id3v2_body_layout(frame);
    if (layout.encrypted || (layout.compressed && budget.inflated > kDecodedTagBytes)) return;
    budget.stored += entry.stored_size;
    if (tag.decoded.empty()) tag.decoded.reserve(16);
    tag.decoded.emplace_back();
    Id3v2DecodedFrame& decoded = tag.decoded.back();
    decoded.index = tag.frames.size() - 1;
    decoded.values = read_id3v2_frame_values(source, frame, body);
    if (layout.compressed) budget.inflated += decoded.values.content_size;
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
    std::string recorded, day_month, time;
    bool comment_has_empty_description = false;
    uint32_t fields_seen = 0;  // one bit per Field: the first frame of each wins
    DecodeBudget budget;

    Id3v2FrameWalk walk(source, header, length);
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        ++tag.frame_count;
        if (tag.frames.size() < kMaxListedFrames) {
            Id3v2FrameEntry entry;
            std::memcpy(entry.id, frame.id, sizeof entry.id);
            entry.flags = frame.flags;
            entry.size = frame.size;
            entry.body_offset = body.source_offset();
            TagCursor end = body;
            end.skip(end.left());
            entry.stored_size = static_cast<uint32_t>(end.source_offset() - entry.body_offset);
            tag.frames.push_back(entry);
            decode_small_frame(source, frame, body, budget, tag);
        }
        const FrameName* name = find_frame(frame, header.version);
        if (!name) continue;
        const uint32_t field_bit = 1u << static_cast<unsigned>(name->field);
        if (name->field == Field::kPicture) {
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
        if (name->field != Field::kComment && (fields_seen & field_bit)) continue;
        Id3v2FrameContent content(source, frame, body);
        if (!content.ok()) continue;
        std::string storage;
        bool whole = false;
        // The encoding byte and a text's worth; decoding may grow it, so
        // the text is cut once more below.
        const ByteSpan bytes = content_of(content.cursor(), kMaxTextBytes + 1, storage, whole);
        if (bytes.size == 0) continue;
        fields_seen |= field_bit;
        tag.truncated = tag.truncated || !whole;
        const uint8_t encoding = bytes.at(0);
        if (name->field == Field::kComment) {
            // Players keep their own data in comments with a description;
            // the one without a description is the user's.
            std::string description;
            const std::size_t text_at = decode_id3v2_text(encoding, bytes, 4, description);
            if (description.empty() || !comment_has_empty_description) {
                tag.comment = decode_id3v2_texts(encoding, bytes, text_at);
                tag.truncated = cut_utf8(tag.comment, kMaxTextBytes) || tag.truncated;
            }
            comment_has_empty_description = comment_has_empty_description || description.empty();
            continue;
        }
        std::string text = decode_id3v2_texts(encoding, bytes, 1);
        tag.truncated = cut_utf8(text, kMaxTextBytes) || tag.truncated;
        switch (name->field) {
            case Field::kTitle: tag.title = std::move(text); break;
            case Field::kArtist: tag.artist = std::move(text); break;
            case Field::kAlbum: tag.album = std::move(text); break;
            case Field::kAlbumArtist: tag.album_artist = std::move(text); break;
            case Field::kYear: tag.year = std::move(text); break;
            case Field::kRecorded: recorded = std::move(text); break;
            case Field::kTrack: tag.track = std::move(text); break;
            case Field::kDisc: tag.disc = std::move(text); break;
            case Field::kGenre:
                tag.genre = resolve_genre(text);
                tag.truncated = cut_utf8(tag.genre, kMaxTextBytes) || tag.truncated;
                break;
            case Field::kComposer: tag.composer = std::move(text); break;
            case Field::kDayMonth: day_month = std::move(text); break;
            case Field::kTime: time = std::move(text); break;
            default: break;
        }
    }
    // The recording time of version 2.4 holds the year and more.
    tag.date = recorded.empty() ? date_of(tag.year, day_month, time) : recorded;
    if (!recorded.empty()) tag.year = recorded;
    return tag;
}

}  // namespace velkor
