// The full ID3v2 reader behind velkor's own interface.
#include "tags/id3v2_tag.h"

#include <cstring>

#include "base/big_endian.h"
#include "tags/genre_table.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_text.h"

namespace velkor {

namespace {

// Frame flags that change how a body is stored.
constexpr uint16_t kV23Compressed = 0x0080, kV23Encrypted = 0x0040, kV23Grouped = 0x0020;
constexpr uint16_t kV24Grouped = 0x0040, kV24Compressed = 0x0008, kV24Encrypted = 0x0004,
                   kV24Unsynchronised = 0x0002, kV24DataLength = 0x0001;

enum class Field { kTitle, kArtist, kAlbum, kAlbumArtist, kYear, kRecorded, kTrack, kDisc, kGenre,
                   kComposer, kComment, kPicture };

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
};

const FrameName* find_frame(const Id3v2Frame& frame, int version) {
    // Ids are exactly the version's length (the zero behind a 2.2 id is
    // compared too), so one fixed-size comparison settles each.
    for (const FrameName& name : kFrames) {
        if (std::memcmp(frame.id, version == 2 ? name.v22 : name.v23, 4) == 0) return &name;
    }
    return nullptr;
}

// How a frame's body is stored: what stands in front of the content, and
// whether the content must be resynchronised.
struct BodyLayout {
    bool readable = true;  // not compressed, not encrypted
    std::size_t prefix = 0;
    bool unsynchronised = false;
    uint32_t data_length = 0;  // the decoded size, when the frame gives it
};

BodyLayout layout_of(const Id3v2Frame& frame, int version, bool tag_unsynchronised, ByteSpan stored) {
    BodyLayout layout;
    if (version == 3) {
        layout.readable = !(frame.flags & (kV23Compressed | kV23Encrypted));
        layout.prefix = (frame.flags & kV23Grouped) ? 1 : 0;
    } else if (version == 4) {
        layout.readable = !(frame.flags & (kV24Compressed | kV24Encrypted));
        layout.prefix = (frame.flags & kV24Grouped) ? 1 : 0;
        if (frame.flags & kV24DataLength) {
            layout.data_length = syncsafe32(stored, layout.prefix);
            layout.prefix += 4;
        }
        layout.unsynchronised = tag_unsynchronised || (frame.flags & kV24Unsynchronised);
    }
    return layout;
}

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

// The frame's content, decoded: the body's bytes behind its prefix, at
// most `limit` of them (all, or just the start of a picture). They come
// straight from the source where nothing needs undoing (valid until the
// next fetch), else through `storage`.
ByteSpan content_of(TagCursor body, const BodyLayout& layout, std::size_t limit, std::string& storage) {
    body.skip(layout.prefix);
    if (!layout.unsynchronised && body.is_plain()) return body.first(limit).rest();
    // Resynchronising shrinks the bytes by at most half.
    const std::size_t take = layout.unsynchronised ? limit * 2 : limit;
    std::string raw(std::min(take, body.left()), '\0');
    body.read(reinterpret_cast<uint8_t*>(&raw[0]), raw.size());
    if (!layout.unsynchronised) {
        storage = std::move(raw);
    } else {
        storage = resynchronised(ByteSpan(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
        if (storage.size() > limit) storage.resize(limit);
    }
    return ByteSpan(reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
}

// A picture frame's description: type, MIME type, description, and where
// its data starts. Only the frame's first bytes are read for it.
constexpr std::size_t kPictureHead = 2048;

void read_picture(const Id3v2Frame& frame, TagCursor body, const BodyLayout& layout, int version,
                  std::vector<Id3v2Picture>& pictures) {
    const int64_t body_offset = body.source_offset();
    std::string storage;
    const ByteSpan bytes = content_of(body, layout, kPictureHead, storage);
    if (bytes.size < 2) return;
    Id3v2Picture picture;
    const uint8_t encoding = bytes.at(0);
    std::size_t pos = 1;
    if (version == 2) {
        // A three-letter image format in place of the MIME type.
        std::string format;
        decode_id3v2_text(0, bytes.from(1).first(3), 0, format);
        picture.mime = format == "JPG" ? "image/jpeg" : format == "PNG" ? "image/png" : "image/" + format;
        pos = 4;
    } else {
        pos = decode_id3v2_text(0, bytes, pos, picture.mime);
    }
    picture.type = bytes.at(pos++);
    pos = decode_id3v2_text(encoding, bytes, pos, picture.description);
    if (pos > bytes.size) return;

    // The decoded body's size: given, or (stored as is) the stored size;
    // else counted from the stored bytes themselves.
    int64_t decoded = 0;
    if (layout.data_length > 0) {
        decoded = layout.data_length;
    } else if (!layout.unsynchronised && !body.unsynchronised()) {
        decoded = static_cast<int64_t>(body.left()) - static_cast<int64_t>(layout.prefix);
    } else {
        std::string whole;
        decoded = static_cast<int64_t>(content_of(body, layout, body.left(), whole).size);
    }
    picture.bytes = std::max<int64_t>(0, decoded - static_cast<int64_t>(pos));
    picture.body_offset = body_offset;
    picture.stored_size = frame.size;
    picture.unsynchronised = layout.unsynchronised || body.unsynchronised();
    picture.data_at = static_cast<uint32_t>(layout.prefix + pos);
    pictures.push_back(std::move(picture));
}

}  // namespace

std::string resolve_genre(const std::string& text) {
    std::string out;
    auto add = [&](const std::string& genre) {
        if (genre.empty()) return;
        if (!out.empty()) out += "; ";
        out += genre;
    };
    auto number_name = [](const std::string& digits) -> std::string {
        if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return {};
        }
        const char* name = GenreTable::name(std::stoi(digits));
        return name ? name : "";
    };
    // Version 2.4 separates genres by "; " already (from the zero bytes).
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("; ", start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        // "(17)(18)Refinement": references first, a text of its own last.
        std::string last_name;
        while (part.size() > 1 && part[0] == '(' && part[1] != '(') {
            const std::size_t close = part.find(')');
            if (close == std::string::npos) break;
            const std::string inner = part.substr(1, close - 1);
            last_name = inner == "RX" ? "Remix" : inner == "CR" ? "Cover" : number_name(inner);
            if (last_name.empty()) break;
            add(last_name);
            part.erase(0, close + 1);
        }
        if (part.size() > 1 && part[0] == '(' && part[1] == '(') part.erase(0, 1);  // "((" escapes "("
        const std::string name = number_name(part);
        if (!name.empty()) {
            add(name);
        } else if (part != last_name) {
            add(part);
        }
        start = end + 2;
    }
    return out;
}

std::string picture_data(const Id3v2Picture& picture, ByteSpan stored) {
    std::string body = picture.unsynchronised ? resynchronised(stored)
                                              : std::string(reinterpret_cast<const char*>(stored.data), stored.size);
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
    const bool tag_unsynchronised = (header.flags & Id3v2Header::kFlagUnsynchronisation) != 0;
    std::string recorded;
    bool comment_has_empty_description = false;

    Id3v2FrameWalk walk(source, header, length);
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        const FrameName* name = find_frame(frame, header.version);
        if (!name) continue;
        uint8_t prefix_bytes[5] = {};
        body.first(sizeof prefix_bytes).read(prefix_bytes, sizeof prefix_bytes);
        const BodyLayout layout = layout_of(frame, header.version, tag_unsynchronised,
                                            ByteSpan(prefix_bytes, sizeof prefix_bytes));
        if (!layout.readable) continue;
        if (name->field == Field::kPicture) {
            read_picture(frame, body, layout, header.version, tag.pictures);
            continue;
        }
        std::string storage;
        const ByteSpan bytes = content_of(body, layout, body.left(), storage);
        if (bytes.size == 0) continue;
        const uint8_t encoding = bytes.at(0);
        if (name->field == Field::kComment) {
            // Players keep their own data in comments with a description;
            // the one without a description is the user's.
            std::string description;
            const std::size_t text_at = decode_id3v2_text(encoding, bytes, 4, description);
            if (description.empty() || !comment_has_empty_description) {
                tag.comment = decode_id3v2_texts(encoding, bytes, text_at);
            }
            comment_has_empty_description = comment_has_empty_description || description.empty();
            continue;
        }
        std::string text = decode_id3v2_texts(encoding, bytes, 1);
        switch (name->field) {
            case Field::kTitle: tag.title = std::move(text); break;
            case Field::kArtist: tag.artist = std::move(text); break;
            case Field::kAlbum: tag.album = std::move(text); break;
            case Field::kAlbumArtist: tag.album_artist = std::move(text); break;
            case Field::kYear: tag.year = std::move(text); break;
            case Field::kRecorded: recorded = std::move(text); break;
            case Field::kTrack: tag.track = std::move(text); break;
            case Field::kDisc: tag.disc = std::move(text); break;
            case Field::kGenre: tag.genre = resolve_genre(text); break;
            case Field::kComposer: tag.composer = std::move(text); break;
            default: break;
        }
    }
    // The recording time of version 2.4 holds the year and more.
    if (!recorded.empty()) tag.year = recorded;
    return tag;
}

}  // namespace velkor
