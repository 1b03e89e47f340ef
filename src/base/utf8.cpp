// Reading and writing UTF-8 sequences.
#include "base/utf8.h"

namespace velkor {

std::size_t next_utf8(ByteSpan bytes, std::size_t pos, uint32_t& code_point) {
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

void append_utf8(uint32_t c, std::string& out) {
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

}  // namespace velkor
