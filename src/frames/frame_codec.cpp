// The codecs of ID3v2 frame content: reading values out of it and writing
// them back.
#include "frames/frame_codec.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/big_endian.h"
#include "base/utf8.h"
#include "frames/frame_genre.h"
#include "frames/frame_text.h"

namespace velkor {

namespace {

using Kind = Id3v2FrameKind;
constexpr uint8_t kLatin1 = kId3v2Latin1;
constexpr uint8_t kUtf8 = kId3v2Utf8, kUtf16 = kId3v2Utf16;

bool is(const char* id, const char* name) { return std::strncmp(id, name, 4) == 0; }

// A big-endian counter of any length, capped at the largest int64_t.
int64_t counter(ByteSpan bytes) {
    if (bytes.size == 0) return -1;
    uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size; ++i) {
        if (value > (std::numeric_limits<uint64_t>::max() >> 8)) return std::numeric_limits<int64_t>::max();
        value = (value << 8) | bytes.data[i];
    }
    return value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                              : static_cast<int64_t>(value);
}

// Cuts text to at most kMaxFrameTextBytes, at the start of a UTF-8
// character. True when anything was cut.
bool cut(std::string& text) {
    if (text.size() <= kMaxFrameTextBytes) return false;
    std::size_t end = kMaxFrameTextBytes;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return true;
}

// The texts from pos to the end, each on its own; empty ones at the end
// (a closing terminator) are dropped. UTF-16 texts without a byte-order
// mark take the order of the text before them.
void read_values(uint8_t encoding, ByteSpan bytes, std::size_t pos, bool big_endian, Id3v2FrameValues& out) {
    std::vector<std::string>& values = out.values;
    std::size_t kept = values.size();
    while (pos < bytes.size) {
        if (values.size() >= kMaxFrameValues) {
            out.truncated = true;
            break;
        }
        std::string value;
        pos = decode_id3v2_text(encoding, bytes, pos, value, &big_endian);
        out.truncated = cut(value) || out.truncated;
        values.push_back(std::move(value));
        if (!values.back().empty()) kept = values.size();
    }
    values.resize(kept);
}

// The first value of the frame's embedded title frame (CHAP, CTOC).
std::string embedded_title(ByteSpan bytes, std::size_t pos, int version) {
    SpanSource source(bytes);
    Id3v2FrameWalk walk(source, version, static_cast<int64_t>(pos), static_cast<int64_t>(bytes.size));
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        if (!is(frame.id, "TIT2")) continue;
        Id3v2FrameContent content(source, frame, body);
        if (!content.ok() || content.cursor().left() == 0) return "";
        const ByteSpan text = content.cursor().first(kMaxFrameTextBytes).rest();
        std::string title;
        decode_id3v2_text(text.at(0), text, 1, title);
        return title;
    }
    return "";
}

// RVA2: the identification ("track", "album") as owner, then channel
// records: type, a signed adjustment in 1/512 dB, the peak's bit count and
// that many bits of peak. The master volume's (type 1) record is kept.
void read_master_volume(ByteSpan b, Id3v2FrameValues& v) {
    std::size_t pos = decode_id3v2_text(kLatin1, b, 0, v.owner);
    while (pos + 4 <= b.size) {
        const uint8_t type = b.at(pos);
        const auto adjustment = static_cast<int16_t>(big_endian(b, pos + 1, 2));
        const uint8_t bits = b.at(pos + 3);
        const std::size_t peak_bytes = (bits + 7u) / 8u;
        if (type == 1) {
            v.has_volume = true;
            v.volume_db = adjustment / 512.0;
            if (bits > 0 && pos + 4 + peak_bytes <= b.size) {
                // Left-aligned in 32 bits, so 1.0 is full scale whatever the bit count.
                const std::size_t used = std::min<std::size_t>(peak_bytes, 4);
                uint64_t peak = big_endian(b, pos + 4, used);
                peak <<= 8 * (4 - used);
                v.has_peak = true;
                v.volume_peak = static_cast<double>(peak) / 2147483648.0;
            }
            return;
        }
        pos += 4 + peak_bytes;
    }
}

void keep_bytes(ByteSpan b, std::size_t from, std::vector<uint8_t>& data) {
    if (from < b.size) data.assign(b.data + from, b.data + b.size);
}

void decode(const char* id, ByteSpan b, int version, bool keep_data, Id3v2FrameValues& v) {
    const uint8_t encoding = b.at(0);
    bool big_endian = false;  // the UTF-16 order the texts so far had
    std::size_t pos = 0;
    switch (v.kind) {
        case Kind::kText:
        case Kind::kPeople:
            if (b.size > 0) read_values(encoding, b, 1, big_endian, v);
            if (is(id, "TCON")) v.genres = resolve_genres(v.values);
            break;
        case Kind::kUserText:
            pos = decode_id3v2_text(encoding, b, 1, v.description, &big_endian);
            read_values(encoding, b, pos, big_endian, v);
            break;
        case Kind::kUrl:
            read_values(kLatin1, b, 0, false, v);
            v.values.resize(std::min<std::size_t>(v.values.size(), 1));
            break;
        case Kind::kUserUrl:
            pos = decode_id3v2_text(encoding, b, 1, v.description);
            read_values(kLatin1, b, pos, false, v);
            v.values.resize(std::min<std::size_t>(v.values.size(), 1));
            break;
        case Kind::kComment:
        case Kind::kLyrics:
            if (b.size < 4) break;
            decode_id3v2_text(kLatin1, b.from(1).first(3), 0, v.language);
            pos = decode_id3v2_text(encoding, b, 4, v.description, &big_endian);
            if (v.kind == Kind::kComment) {
                read_values(encoding, b, pos, big_endian, v);
            } else if (pos < b.size) {
                v.values.emplace_back();
                decode_id3v2_text(encoding, b, pos, v.values.back(), &big_endian);
                v.truncated = cut(v.values.back()) || v.truncated;
            }
            break;
        case Kind::kPicture: {
            if (b.size < 2) break;
            std::string mime;
            if (version == 2) {
                std::string format;
                decode_id3v2_text(kLatin1, b.from(1).first(3), 0, format);
                mime = picture_mime_of_format(format);
                pos = 4;
            } else {
                pos = decode_id3v2_text(kLatin1, b, 1, mime);
            }
            v.values.push_back(std::move(mime));
            v.picture_type = b.at(pos);
            pos = decode_id3v2_text(encoding, b, pos + 1, v.description);
            if (keep_data) keep_bytes(b, pos, v.data);
            break;
        }
        case Kind::kPopularimeter:
            pos = decode_id3v2_text(kLatin1, b, 0, v.owner);
            if (pos < b.size) v.rating = b.at(pos);
            v.play_count = counter(b.from(pos + 1));
            break;
        case Kind::kUniqueId:
        case Kind::kPrivate:
            pos = decode_id3v2_text(kLatin1, b, 0, v.owner);
            // A unique id is up to 64 bytes, in practice printable.
            if (v.kind == Kind::kUniqueId && pos < b.size) {
                v.values.emplace_back();
                const ByteSpan identifier = b.from(pos).first(64);
                for (std::size_t i = 0; i < identifier.size; ++i) append_utf8(identifier.data[i], v.values.back());
            }
            if (keep_data) keep_bytes(b, pos, v.data);
            break;
        case Kind::kChapter:
            pos = decode_id3v2_text(kLatin1, b, 0, v.element_id);
            if (pos + 16 <= b.size) {
                v.start_ms = big_endian32(b, pos);
                v.end_ms = big_endian32(b, pos + 4);
                v.start_offset = big_endian32(b, pos + 8);
                v.end_offset = big_endian32(b, pos + 12);
                v.title = embedded_title(b, pos + 16, version);
            }
            break;
        case Kind::kToc: {
            pos = decode_id3v2_text(kLatin1, b, 0, v.element_id);
            if (pos + 2 > b.size) break;
            v.toc_flags = b.at(pos);
            const std::size_t entries = b.at(pos + 1);
            pos += 2;
            for (std::size_t i = 0; i < entries && pos < b.size; ++i) {
                v.children.emplace_back();
                pos = decode_id3v2_text(kLatin1, b, pos, v.children.back());
            }
            v.title = embedded_title(b, pos, version);
            break;
        }
        case Kind::kOther:
            if (is(id, "PCNT")) v.play_count = counter(b);
            if (is(id, "RVA2")) read_master_volume(b, v);
            if (keep_data) keep_bytes(b, 0, v.data);
            break;
    }
}

void put_be(std::vector<uint8_t>& out, uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A counter of at least four bytes, more as the count needs them.
void put_counter(std::vector<uint8_t>& out, int64_t count) {
    int width = 4;
    while (width < 8 && (static_cast<uint64_t>(count) >> (8 * width)) != 0) ++width;
    put_be(out, static_cast<uint64_t>(count), width);
}

// The title frame CHAP and CTOC embed, in the layout of `version`.
void put_title_frame(std::vector<uint8_t>& out, const std::string& title, int version) {
    if (title.empty()) return;
    const uint8_t encoding = version >= 4 ? kUtf8 : fits_latin1(title) ? kLatin1 : kUtf16;
    std::vector<uint8_t> body{encoding};
    encode_id3v2_text(body, encoding, title, false);
    const uint32_t size = static_cast<uint32_t>(body.size());
    if (version == 2) {
        out.insert(out.end(), {'T', 'T', '2'});
        put_be(out, size, 3);
    } else {
        out.insert(out.end(), {'T', 'I', 'T', '2'});
        const uint32_t stored = version == 4 ? (size & 0x7F) | (size & 0x3F80) << 1 | (size & 0x1FC000) << 2 |
                                                   (size & 0xFE00000) << 3
                                             : size;
        put_be(out, stored, 4);
        put_be(out, 0, 2);
    }
    out.insert(out.end(), body.begin(), body.end());
}

// The three-letter image format of a version 2.2 picture.
std::string format_of_mime(const std::string& mime) {
    if (mime == "-->") return mime;
    std::string format = mime.compare(0, 6, "image/") == 0 ? mime.substr(6) : mime;
    if (format == "jpeg") format = "jpg";
    for (char& c : format) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    format.resize(3, ' ');
    return format;
}

}  // namespace

std::string picture_mime_of_format(std::string_view format) {
    std::string upper(format);
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (upper == "-->") return upper;
    if (upper == "JPG" || upper == "JPEG") return "image/jpeg";
    std::string lower(format);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    while (!lower.empty() && lower.back() == ' ') lower.pop_back();
    return "image/" + lower;
}

Id3v2FrameValues decode_id3v2_frame(const char* id, ByteSpan content, int version, bool keep_data) {
    Id3v2FrameValues values;
    values.kind = *id ? id3v2_frame_kind(id) : Kind::kOther;
    values.readable = true;
    values.content_size = static_cast<int64_t>(content.size);
    decode(id, content, version, keep_data, values);
    return values;
}

std::vector<uint8_t> encode_id3v2_frame(const Id3v2FrameValues& frame, int version) {
    std::vector<uint8_t> out;
    const std::vector<std::string>& values = frame.values;
    // 2.4 keeps several values apart with zero bytes; 2.3 readers expect
    // "/" (a people list keeps its zero bytes: its pairs need them).
    const bool separate = version >= 4 || frame.kind == Kind::kPeople;
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) joined += separate ? std::string(1, '\0') : std::string("/");
        joined += values[i];
    }
    auto encoding_for = [&](std::initializer_list<const std::string*> texts) {
        if (version >= 4) return kUtf8;
        for (const std::string* text : texts) {
            if (!fits_latin1(*text)) return kUtf16;
        }
        return kLatin1;
    };
    auto put_values = [&](uint8_t encoding) {
        if (!separate) {
            encode_id3v2_text(out, encoding, joined, false);
            return;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            encode_id3v2_text(out, encoding, values[i], i + 1 < values.size());
        }
    };
    auto all_values = [&] {
        std::string all;
        for (const std::string& value : values) all += value;
        return all;
    };
    switch (frame.kind) {
        case Kind::kText:
        case Kind::kPeople: {
            const std::string all = all_values();
            const uint8_t encoding = encoding_for({&all});
            out.push_back(encoding);
            put_values(encoding);
            break;
        }
        case Kind::kUserText: {
            const std::string all = all_values();
            const uint8_t encoding = encoding_for({&frame.description, &all});
            out.push_back(encoding);
            encode_id3v2_text(out, encoding, frame.description, true);
            put_values(encoding);
            break;
        }
        case Kind::kComment:
        case Kind::kLyrics: {
            const std::string all = all_values();
            const uint8_t encoding = encoding_for({&frame.description, &all});
            out.push_back(encoding);
            std::string language = frame.language;
            language.resize(3, ' ');
            out.insert(out.end(), language.begin(), language.end());
            encode_id3v2_text(out, encoding, frame.description, true);
            put_values(encoding);
            break;
        }
        case Kind::kUrl:
            encode_id3v2_text(out, kLatin1, values.empty() ? std::string() : values[0], false);
            break;
        case Kind::kUserUrl: {
            const uint8_t encoding = encoding_for({&frame.description});
            out.push_back(encoding);
            encode_id3v2_text(out, encoding, frame.description, true);
            encode_id3v2_text(out, kLatin1, values.empty() ? std::string() : values[0], false);
            break;
        }
        case Kind::kPicture: {
            const uint8_t encoding = encoding_for({&frame.description});
            const std::string mime = values.empty() ? std::string() : values[0];
            out.push_back(encoding);
            if (version == 2) {
                const std::string format = format_of_mime(mime);
                out.insert(out.end(), format.begin(), format.end());
            } else {
                encode_id3v2_text(out, kLatin1, mime, true);
            }
            out.push_back(static_cast<uint8_t>(std::max(frame.picture_type, 0)));
            encode_id3v2_text(out, encoding, frame.description, true);
            out.insert(out.end(), frame.data.begin(), frame.data.end());
            break;
        }
        case Kind::kPopularimeter:
            encode_id3v2_text(out, kLatin1, frame.owner, true);
            out.push_back(static_cast<uint8_t>(std::max(frame.rating, 0)));
            if (frame.play_count >= 0) put_counter(out, frame.play_count);
            break;
        case Kind::kUniqueId:
        case Kind::kPrivate:
            encode_id3v2_text(out, kLatin1, frame.owner, true);
            out.insert(out.end(), frame.data.begin(), frame.data.end());
            break;
        case Kind::kChapter:
            encode_id3v2_text(out, kLatin1, frame.element_id, true);
            for (const int64_t field : {frame.start_ms, frame.end_ms, frame.start_offset, frame.end_offset}) {
                put_be(out, static_cast<uint32_t>(field), 4);
            }
            put_title_frame(out, frame.title, version);
            break;
        case Kind::kToc: {
            encode_id3v2_text(out, kLatin1, frame.element_id, true);
            const std::size_t count = std::min<std::size_t>(frame.children.size(), 255);
            out.push_back(static_cast<uint8_t>(std::max(frame.toc_flags, 0)));
            out.push_back(static_cast<uint8_t>(count));
            for (std::size_t i = 0; i < count; ++i) encode_id3v2_text(out, kLatin1, frame.children[i], true);
            put_title_frame(out, frame.title, version);
            break;
        }
        case Kind::kOther:
            // A play counter given as a number; anything else as its bytes.
            if (frame.data.empty() && frame.play_count >= 0) {
                put_counter(out, frame.play_count);
            } else {
                out.insert(out.end(), frame.data.begin(), frame.data.end());
            }
            break;
    }
    return out;
}

Id3v2FrameValues read_id3v2_frame_values(ByteSource& source, const Id3v2Frame& frame, TagCursor body) {
    Id3v2FrameValues values;
    const char* id = frame.version == 2 ? id3v2_v24_id(frame.id) : frame.id;
    values.kind = *id ? id3v2_frame_kind(id) : Kind::kOther;
    Id3v2FrameContent content(source, frame, body);
    values.readable = content.ok();
    if (content.status() == Id3v2FrameContent::Status::kEncrypted) {
        // Only its owner can decrypt it: its size is what is stored.
        const std::size_t prefix = id3v2_body_layout(frame).prefix;
        values.content_size = static_cast<int64_t>(body.left() > prefix ? body.left() - prefix : 0);
    }
    if (!content.ok()) return values;
    if (values.kind == Kind::kOther && !is(id, "PCNT") && !is(id, "RVA2")) {
        // Nothing to decode: just the content's size.
        values.content_size = static_cast<int64_t>(content.cursor().left());
        values.size_differs = content.size_differs();
        return values;
    }
    TagCursor& cursor = content.cursor();
    const int64_t size = static_cast<int64_t>(cursor.left());
    // A picture's values stand in its first bytes; the others' anywhere.
    const std::size_t limit = values.kind == Kind::kPicture ? 2048 : kMaxFrameTextBytes + 1;
    const std::size_t wanted = std::min(limit, cursor.left());
    // Plain content is decoded where the source holds it, as the decoder
    // fetches nothing while it works; else (or where the source holds it
    // in pieces) from a copy.
    ByteSpan bytes = cursor.is_plain() ? cursor.first(limit).rest() : ByteSpan();
    std::string storage;
    if (bytes.size != wanted) {
        storage.assign(wanted, '\0');
        cursor.first(limit).read(reinterpret_cast<uint8_t*>(&storage[0]), storage.size());
        bytes = ByteSpan(reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
    }
    decode(id, bytes, frame.version, false, values);
    values.content_size = size;
    values.size_differs = content.size_differs();
    if (values.kind != Kind::kPicture && cursor.left() > limit) values.truncated = true;
    return values;
}

}  // namespace velkor
