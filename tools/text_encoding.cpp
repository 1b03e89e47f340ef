// Latin-1 and UTF-8 conversions, JSON string escaping and terminal-safe text.
#include "text_encoding.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velkor::cli {

namespace {

template <typename Out>
void append_utf8(Out& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one character at text[i] and advances i past it. A byte that
// does not start a valid, shortest-form sequence is returned as itself
// (its Latin-1 reading), one byte consumed.
char32_t next_char(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    }
    if (extra > 0 && i + extra < text.size()) {
        std::size_t k = 1;
        for (; k <= extra; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) break;
            cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        if (k > extra && cp >= min && cp <= 0x10FFFF && !surrogate) {
            i += extra + 1;
            return cp;
        }
    }
    ++i;
    return lead;
}

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// Printable ASCII other than the quote and the backslash: what every
// conversion here passes through as it is. Looked up in a table, as every
// byte of every text of the output is.
constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
}();
bool is_plain(char c) { return kPlain[static_cast<uint8_t>(c)]; }

// Where the run of plain bytes from text[i] on ends. Eight bytes are tested
// at once while none of them is other than plain.
std::size_t plain_run_end(std::string_view text, std::size_t i) {
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
    while (i < text.size() && is_plain(text[i])) ++i;
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
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
                out += std::string_view(escape);
            } else {
                append_utf8(out, cp);
            }
    }
}

}  // namespace

std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    convert_text(text, out, [&](std::string& o, std::size_t& i) {
        append_utf8(o, static_cast<uint8_t>(text[i++]));
    });
    return out;
}

int beyond_latin1(std::string_view text) {
    int beyond = 0;
    for (std::size_t i = 0; i < text.size();) beyond += next_char(text, i) > 0xFF;
    return beyond;
}

void append_json_string(TextBuffer& out, std::string_view utf8) {
    out += '"';
    convert_text(utf8, out, [&](TextBuffer& o, std::size_t& i) { append_json_char(o, next_char(utf8, i)); });
    out += '"';
}

namespace {

// A character a terminal must not receive raw is written as an escape.
template <typename Out>
void append_printable_to(Out& out, std::string_view utf8) {
    convert_text(utf8, out, [&](Out& o, std::size_t& i) {
        const char32_t cp = next_char(utf8, i);
        if (cp == '\n') {
            o += "\\n";
        } else if (cp == '\t') {
            o += "\\t";
        } else if (cp == '\r') {
            o += "\\r";
        } else if (is_control(cp)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, cp < 0x80 ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned>(cp));
            o += std::string_view(escape);
        } else {
            append_utf8(o, cp);
        }
    });
}

}  // namespace

std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    append_printable_to(out, utf8);
    return out;
}

void append_printable(TextBuffer& out, std::string_view utf8) { append_printable_to(out, utf8); }

}  // namespace velkor::cli
