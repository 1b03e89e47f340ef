// Decoding ID3v2 texts into UTF-8.
#include "frames/frame_text.h"

#include "base/utf8.h"

namespace velkor {

namespace {

constexpr uint8_t kLatin1 = 0;
constexpr uint8_t kUtf16 = 1;
constexpr uint8_t kUtf16BigEndian = 2;
constexpr uint32_t kReplacement = kReplacementCharacter;

bool is_utf16(uint8_t encoding) { return encoding == kUtf16 || encoding == kUtf16BigEndian; }

}  // namespace

std::size_t decode_id3v2_text(uint8_t encoding, ByteSpan bytes, std::size_t pos, std::string& out,
                              bool* carried_order) {
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
            uint32_t code_point;
            const std::size_t length = next_utf8(bytes.first(end), pos, code_point);
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
    bool big_endian = encoding == kUtf16BigEndian || (encoding == kUtf16 && carried_order && *carried_order);
    bool first = true;
    // The order the text was read in, handed on to the next text.
    struct Carry {
        bool* to;
        const bool& order;
        ~Carry() {
            if (to) *to = order;
        }
    } carry{carried_order, big_endian};
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
    bool big_endian = false;
    while (pos < bytes.size) {
        const std::size_t before = joined.size();
        if (any) joined += "; ";
        const std::size_t value_at = joined.size();
        pos = decode_id3v2_text(encoding, bytes, pos, joined, &big_endian);
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

// Code points of UTF-8 text (anything that is not UTF-8 is U+FFFD).
template <typename Each>
void each_code_point(const std::string& text, Each each) {
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (std::size_t pos = 0; pos < bytes.size;) {
        uint32_t c = kReplacement;
        const std::size_t length = next_utf8(bytes, pos, c);
        each(length > 0 ? c : kReplacement);
        pos += length > 0 ? length : 1;
    }
}

bool fits_latin1(const std::string& text) {
    bool fits = true;
    each_code_point(text, [&](uint32_t c) { fits = fits && c <= 0xFF; });
    return fits;
}

void encode_id3v2_text(std::vector<uint8_t>& out, uint8_t encoding, const std::string& text, bool terminated) {
    if (encoding == kId3v2Utf8) {
        out.insert(out.end(), text.begin(), text.end());
    } else if (encoding == kLatin1) {
        each_code_point(text, [&](uint32_t c) { out.push_back(static_cast<uint8_t>(c <= 0xFF ? c : '?')); });
    } else {
        const bool big = encoding == kUtf16BigEndian;
        auto unit = [&](uint32_t u) {
            out.push_back(static_cast<uint8_t>(big ? u >> 8 : u & 0xFF));
            out.push_back(static_cast<uint8_t>(big ? u & 0xFF : u >> 8));
        };
        if (!big) unit(0xFEFF);  // a byte-order mark for each text
        each_code_point(text, [&](uint32_t c) {
            if (c >= 0x10000) {
                unit(0xD800 + ((c - 0x10000) >> 10));
                unit(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                unit(c);
            }
        });
    }
    if (terminated) {
        out.push_back(0);
        if (is_utf16(encoding)) out.push_back(0);
    }
}

}  // namespace velkor
