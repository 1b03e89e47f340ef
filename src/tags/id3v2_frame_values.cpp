// Decoding one ID3v2 frame of any kind into its values.
#include "tags/id3v2_frame_values.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/big_endian.h"
#include "base/utf8.h"
#include "tags/id3v2_text.h"

namespace velkor {

namespace {

constexpr uint8_t kLatin1 = 0;

struct IdPair {
    char v22[4];
    char v24[5];
};

// Version 2.2 ids and the 2.3/2.4 ids of the same frames.
constexpr IdPair kV22Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"}, {"ETC", "ETCO"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"},
    {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"},
    {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"},
    {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"},
    {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"},
    {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"},
    {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"},
    {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},
};

bool is(const char* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

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
// (a closing terminator) are dropped.
void read_values(uint8_t encoding, ByteSpan bytes, std::size_t pos, Id3v2FrameValues& out,
                 std::vector<std::string>& values) {
    std::size_t kept = values.size();
    while (pos < bytes.size) {
        if (values.size() >= kMaxFrameValues) {
            out.truncated = true;
            break;
        }
        std::string value;
        pos = decode_id3v2_text(encoding, bytes, pos, value);
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

void parse(const char* id, ByteSpan b, int version, Id3v2FrameValues& v) {
    const uint8_t encoding = b.at(0);
    std::size_t pos = 0;
    switch (v.kind) {
        case Id3v2FrameKind::kText:
            if (b.size > 0) read_values(encoding, b, 1, v, v.values);
            break;
        case Id3v2FrameKind::kUserText:
            pos = decode_id3v2_text(encoding, b, 1, v.description);
            read_values(encoding, b, pos, v, v.values);
            break;
        case Id3v2FrameKind::kUrl:
            read_values(kLatin1, b, 0, v, v.values);
            v.values.resize(std::min<std::size_t>(v.values.size(), 1));
            break;
        case Id3v2FrameKind::kUserUrl:
            pos = decode_id3v2_text(encoding, b, 1, v.description);
            read_values(kLatin1, b, pos, v, v.values);
            v.values.resize(std::min<std::size_t>(v.values.size(), 1));
            break;
        case Id3v2FrameKind::kComment:
        case Id3v2FrameKind::kLyrics:
            if (b.size < 4) break;
            decode_id3v2_text(kLatin1, b.from(1).first(3), 0, v.language);
            pos = decode_id3v2_text(encoding, b, 4, v.description);
            if (v.kind == Id3v2FrameKind::kComment) {
                read_values(encoding, b, pos, v, v.values);
            } else if (pos < b.size) {
                v.values.emplace_back();
                decode_id3v2_text(encoding, b, pos, v.values.back());
                v.truncated = cut(v.values.back()) || v.truncated;
            }
            break;
        case Id3v2FrameKind::kPicture: {
            if (b.size < 2) break;
            std::string mime;
            if (version == 2) {
                decode_id3v2_text(kLatin1, b.from(1).first(3), 0, mime);
                pos = 4;
            } else {
                pos = decode_id3v2_text(kLatin1, b, 1, mime);
            }
            v.values.push_back(std::move(mime));
            decode_id3v2_text(encoding, b, pos + 1, v.description);
            break;
        }
        case Id3v2FrameKind::kPopularimeter:
            pos = decode_id3v2_text(kLatin1, b, 0, v.owner);
            if (pos < b.size) v.rating = b.at(pos);
            v.play_count = counter(b.from(pos + 1));
            break;
        case Id3v2FrameKind::kUniqueId:
        case Id3v2FrameKind::kPrivate:
            pos = decode_id3v2_text(kLatin1, b, 0, v.owner);
            // A unique id is up to 64 bytes, in practice printable.
            if (v.kind == Id3v2FrameKind::kUniqueId && pos < b.size) {
                v.values.emplace_back();
                const ByteSpan identifier = b.from(pos).first(64);
                for (std::size_t i = 0; i < identifier.size; ++i) append_utf8(identifier.data[i], v.values.back());
            }
            break;
        case Id3v2FrameKind::kChapter:
            pos = decode_id3v2_text(kLatin1, b, 0, v.element_id);
            if (pos + 16 <= b.size) {
                v.start_ms = big_endian32(b, pos);
                v.end_ms = big_endian32(b, pos + 4);
                v.start_offset = big_endian32(b, pos + 8);
                v.end_offset = big_endian32(b, pos + 12);
                v.title = embedded_title(b, pos + 16, version);
            }
            break;
        case Id3v2FrameKind::kToc: {
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
        case Id3v2FrameKind::kOther:
            if (is(id, "PCNT")) v.play_count = counter(b);
            if (is(id, "RVA2")) read_master_volume(b, v);
            break;
    }
}

}  // namespace

Id3v2FrameKind id3v2_frame_kind(const char* id) {
    if (is(id, "TXXX")) return Id3v2FrameKind::kUserText;
    if (is(id, "WXXX")) return Id3v2FrameKind::kUserUrl;
    if (id[0] == 'T') return Id3v2FrameKind::kText;
    if (id[0] == 'W') return Id3v2FrameKind::kUrl;
    if (is(id, "COMM")) return Id3v2FrameKind::kComment;
    if (is(id, "USLT")) return Id3v2FrameKind::kLyrics;
    if (is(id, "APIC")) return Id3v2FrameKind::kPicture;
    if (is(id, "POPM")) return Id3v2FrameKind::kPopularimeter;
    if (is(id, "UFID")) return Id3v2FrameKind::kUniqueId;
    if (is(id, "PRIV")) return Id3v2FrameKind::kPrivate;
    if (is(id, "CHAP")) return Id3v2FrameKind::kChapter;
    if (is(id, "CTOC")) return Id3v2FrameKind::kToc;
    // The grouping frame taggers added to version 2.3 and 2.4 is a text frame.
    if (is(id, "GRP1")) return Id3v2FrameKind::kText;
    return Id3v2FrameKind::kOther;
}

const char* id3v2_v24_id(const char* v22_id) {
    for (const IdPair& pair : kV22Ids) {
        if (std::memcmp(pair.v22, v22_id, 3) == 0) return pair.v24;
    }
    return "";
}

Id3v2FrameValues read_id3v2_frame_values(ByteSource& source, const Id3v2Frame& frame, TagCursor body) {
    Id3v2FrameValues values;
    const char* id = frame.version == 2 ? id3v2_v24_id(frame.id) : frame.id;
    values.kind = *id ? id3v2_frame_kind(id) : Id3v2FrameKind::kOther;
    Id3v2FrameContent content(source, frame, body);
    values.readable = content.ok();
    if (content.status() == Id3v2FrameContent::Status::kEncrypted) {
        // Only its owner can decrypt it: its size is what is stored.
        const std::size_t prefix = id3v2_body_layout(frame).prefix;
        values.content_size = static_cast<int64_t>(body.left() > prefix ? body.left() - prefix : 0);
    }
    if (!content.ok()) return values;
    if (values.kind == Id3v2FrameKind::kOther && !is(id, "PCNT") && !is(id, "RVA2")) {
        // Nothing to decode: just the content's size.
        values.content_size = static_cast<int64_t>(content.cursor().left());
        return values;
    }
    TagCursor& cursor = content.cursor();
    values.content_size = static_cast<int64_t>(cursor.left());
    // A picture's values stand in its first bytes; the others' anywhere.
    const std::size_t limit = values.kind == Id3v2FrameKind::kPicture ? 2048 : kMaxFrameTextBytes + 1;
    std::string storage;
    ByteSpan bytes;
    if (cursor.is_plain()) {
        bytes = cursor.first(limit).rest();
    } else {
        storage.assign(std::min(limit, cursor.left()), '\0');
        cursor.first(limit).read(reinterpret_cast<uint8_t*>(&storage[0]), storage.size());
        bytes = ByteSpan(reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
    }
    if (values.kind != Id3v2FrameKind::kPicture && cursor.left() > limit) values.truncated = true;
    // The source's span stays valid while nothing else is fetched: the
    // values are decoded from a copy when they need one.
    if (!storage.empty() || bytes.size == 0) {
        parse(id, bytes, frame.version, values);
    } else {
        std::string copy(reinterpret_cast<const char*>(bytes.data), bytes.size);
        parse(id, ByteSpan(reinterpret_cast<const uint8_t*>(copy.data()), copy.size()), frame.version, values);
    }
    return values;
}

}  // namespace velkor
