// UTF-8, read and written, and Latin-1 turned into it and out of it: the
// texts of velkor's own interface and the ID3 encodings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/byte_span.h"

namespace velkor {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The valid UTF-8 sequence at bytes[pos] (shortest form, no surrogates):
// its length with code_point set, or 0 when there is none there.
inline std::size_t next_utf8(ByteSpan bytes, std::size_t pos, uint32_t& code_point) {
    if (pos >= bytes.size) return 0;
    const uint8_t lead = bytes.data[pos];
    std::size_t length;
    uint32_t min;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size - pos < length) return 0;
    uint32_t code = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        const uint8_t b = bytes.data[pos + i];
        if ((b & 0xC0) != 0x80) return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    code_point = code;
    return length;
}

// Appends the code point as UTF-8 (U+FFFD for one that cannot be) to any
// text that takes `+= char`.
template <typename Out>
void append_utf8(uint32_t c, Out& out) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacementCharacter;
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

// Each byte taken as a Latin-1 character, as UTF-8.
inline std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    std::size_t run = 0;  // plain ASCII goes across in runs
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) continue;
        out.append(text.data() + run, i - run);
        append_utf8(c, out);
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
    return out;
}

// UTF-8 as Latin-1: code points up to U+00FF as their byte, others (and
// bytes that are no UTF-8) as '?'; at most `room` bytes.
inline std::string utf8_to_latin1(const char* text, std::size_t room) {
    std::string out;
    if (text == nullptr) return out;
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    for (std::size_t pos = 0; pos < bytes.size && out.size() < room;) {
        uint32_t c = 0;
        const std::size_t length = next_utf8(bytes, pos, c);
        out += length > 0 && c <= 0xFF ? static_cast<char>(c) : '?';
        pos += length > 0 ? length : 1;
    }
    return out;
}

}  // namespace velkor
