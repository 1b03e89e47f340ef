// JSON text: string literals with what JSON wants escaped, names that may
// not be UTF-8, base64. Header-only templates over the output (anything
// with append(bytes, n) and += for a character or a text), so the library's
// JSON writer and the command's other outputs share one escaping.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "utf8.h"  // by its own folder, as the command includes it too

namespace velkor {

// The functions below read UTF-8 that may not be valid, as file names and
// tag texts can be: valid sequences are characters, every other byte is
// taken as a Latin-1 character.

// Decodes one character at text[i] and advances i past it. A byte that
// does not start a valid, shortest-form sequence is returned as itself
// (its Latin-1 reading), one byte consumed.
inline char32_t next_char(std::string_view text, std::size_t& i) {
    uint32_t cp = 0;
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::size_t length = next_utf8(bytes, i, cp);
    if (length == 0) return static_cast<uint8_t>(text[i++]);
    i += length;
    return cp;
}

// C0, DEL and C1.
inline bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// Printable ASCII other than the quote and the backslash: what every
// conversion passes through as it is. Looked up in a table, as every byte
// of every text of the output is.
inline constexpr auto kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
}();

// Where the run of plain bytes from text[i] on ends. Eight bytes are tested
// at once while none of them is other than plain.
inline std::size_t plain_run_end(std::string_view text, std::size_t i) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHigh = kOnes * 0x80;
    // The high bit of some byte is set when a byte of v is below n (n at
    // most 0x80), and only then; likewise for a zero byte.
    constexpr auto below = [](uint64_t v, uint64_t n) { return (v - kOnes * n) & ~v; };
    constexpr auto zero = [](uint64_t v) { return (v - kOnes) & ~v; };
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, text.data() + i, sizeof w);
        const uint64_t other = w | below(w, 0x20) | zero(w ^ (kOnes * 0x7F)) | zero(w ^ (kOnes * '"')) |
                               zero(w ^ (kOnes * '\\'));
        if ((other & kHigh) != 0) break;
    }
    while (i < text.size() && kPlainBytes[static_cast<uint8_t>(text[i])]) ++i;
    return i;
}

// Appends text to out: runs of plain bytes at once, which is most of any
// text and costs a fraction of decoding it character by character, and
// every other character through convert(out, i), which consumes it.
template <typename Out, typename Convert>
void convert_text(std::string_view text, Out& out, Convert convert) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = plain_run_end(text, i);
        out.append(text.data() + i, end - i);
        i = end;
        if (i < text.size()) convert(out, i);
    }
}

// One character of a JSON string, escaped where JSON wants it.
template <typename Out>
void append_json_char(Out& out, char32_t cp) {
    switch (cp) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (is_control(cp)) {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escape[6] = {'\\', 'u', '0', '0', kHex[(cp >> 4) & 0xF], kHex[cp & 0xF]};
                out += std::string_view(escape, sizeof escape);
            } else {
                append_utf8(cp, out);
            }
    }
}

// Appends the JSON string literal, quotes included: quote, backslash and
// every control character (C0, DEL and C1) escaped.
template <typename Out>
void append_json_string(Out& out, std::string_view utf8) {
    out += '"';
    convert_text(utf8, out, [&](Out& o, std::size_t& i) { append_json_char(o, next_char(utf8, i)); });
    out += '"';
}

// True when every byte of text belongs to a valid UTF-8 sequence.
inline bool valid_utf8(std::string_view text) {
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    uint32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = next_utf8(bytes, i, cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// Appends the JSON string literal of a name that may not be UTF-8: each
// byte outside a valid sequence becomes U+FFFD, so the text reads as meant
// where it can and never passes for another name's bytes.
template <typename Out>
void append_json_name(Out& out, std::string_view text) {
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    out += '"';
    convert_text(text, out, [&](Out& o, std::size_t& i) {
        uint32_t cp = kReplacementCharacter;
        const std::size_t length = next_utf8(bytes, i, cp);
        i += length == 0 ? 1 : length;
        append_json_char(o, length == 0 ? kReplacementCharacter : cp);
    });
    out += '"';
}

// Appends the bytes in base64 (RFC 4648, padded), quotes around it.
template <typename Out>
void append_json_base64(Out& out, std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out += '"';
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[group >> (18 - 6 * k) & 63] : '=';
    }
    out += '"';
}

}  // namespace velkor
