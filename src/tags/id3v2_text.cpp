// Decoding ID3v2 texts into UTF-8.
#include "tags/id3v2_text.h"

namespace velkor {

namespace {

constexpr uint8_t kLatin1 = 0;
constexpr uint8_t kUtf16 = 1;
constexpr uint8_t kUtf16BigEndian = 2;
constexpr uint32_t kReplacement = 0xFFFD;

bool is_utf16(uint8_t encoding) { return encoding == kUtf16 || encoding == kUtf16BigEndian; }

// A valid UTF-8 sequence at bytes[pos..end): its length, or 0.
std::size_t utf8_sequence(ByteSpan bytes, std::size_t pos, std::size_t end) {
    const uint8_t lead = bytes.data[pos];
    std::size_t length;
    uint32_t min;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000;
    } else {
        return 0;
    }
    if (end - pos < length) return 0;
    uint32_t code = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        const uint8_t b = bytes.data[pos + i];
        if ((b & 0xC0) != 0x80) return 0;
        code = (code << 6) | (b & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= min && code <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

void append_utf8(uint32_t c, std::string& out) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t decode_id3v2_text(uint8_t encoding, ByteSpan bytes, std::size_t pos, std::string& out) {
    const std::size_t end = bytes.size;
    if (!is_utf16(encoding)) {
        while (pos < end) {
            // Plain ASCII, the usual text, goes across in one piece.
            std::size_t run = pos;
            while (run < end && bytes.data[run] != 0 && bytes.data[run] < 0x80) ++run;
            if (run > pos) {
                out.append(reinterpret_cast<const char*>(bytes.data + pos), run - pos);
                pos = run;
                continue;
            }
            const uint8_t b = bytes.data[pos];
            if (b == 0) return pos + 1;
            if (encoding == kLatin1 || b < 0x80) {
                append_utf8(b, out);
                ++pos;
                continue;
            }
            // UTF-8 (and any unknown encoding byte, which taggers use for it)
            const std::size_t length = utf8_sequence(bytes, pos, end);
            if (length == 0) {
                append_utf8(kReplacement, out);
                ++pos;
            } else {
                out.append(reinterpret_cast<const char*>(bytes.data + pos), length);
                pos += length;
            }
        }
        return end;
    }
    bool big_endian = encoding == kUtf16BigEndian;
    bool first = true;
    uint32_t high = 0;  // a high surrogate waiting for its partner
    for (; pos + 1 < end; pos += 2) {
        const uint16_t unit = big_endian ? (bytes.data[pos] << 8 | bytes.data[pos + 1])
                                         : (bytes.data[pos + 1] << 8 | bytes.data[pos]);
        if (unit == 0) {
            if (high) append_utf8(kReplacement, out);
            return pos + 2;
        }
        if (first) {
            first = false;
            if (unit == 0xFEFF) continue;
            if (unit == 0xFFFE) {  // the mark read the other way round
                big_endian = !big_endian;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (high) append_utf8(kReplacement, out);
            high = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            append_utf8(high ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : kReplacement, out);
            high = 0;
            continue;
        }
        if (high) append_utf8(kReplacement, out);
        high = 0;
        append_utf8(unit, out);
    }
    if (high) append_utf8(kReplacement, out);
    return end;  // an odd byte at the end is no character
}

std::string decode_id3v2_texts(uint8_t encoding, ByteSpan bytes, std::size_t pos) {
    std::string joined;
    std::size_t kept = 0;  // joined's length up to its last non-empty value
    bool any = false;
    while (pos < bytes.size) {
        const std::size_t before = joined.size();
        if (any) joined += "; ";
        const std::size_t value_at = joined.size();
        pos = decode_id3v2_text(encoding, bytes, pos, joined);
        if (joined.size() > value_at) {
            kept = joined.size();
            any = true;
        } else {
            joined.resize(before);
        }
    }
    joined.resize(kept);
    return joined;
}

}  // namespace velkor
