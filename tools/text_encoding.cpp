// Terminal-safe text, and the command's own UTF-8 reading and writing: it
// uses velkor.h alone (the library writes the JSON), and the library hands
// it every text as UTF-8 already.
#include "text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace velkor::cli {

namespace {

// The bytes a sequence may continue with after its first byte: 0x80 to
// 0xBF, narrower behind E0, ED, F0 and F4 so that overlong forms,
// surrogates and code points past U+10FFFF are no sequences.
struct SecondByte {
    uint8_t low, high;
};
SecondByte second_byte(uint8_t lead) {
    switch (lead) {
        case 0xE0: return {0xA0, 0xBF};
        case 0xED: return {0x80, 0x9F};
        case 0xF0: return {0x90, 0xBF};
        case 0xF4: return {0x80, 0x8F};
        default: return {0x80, 0xBF};
    }
}

// The length of the valid UTF-8 sequence at text[i] with its code point in
// cp, or 0 when none starts there.
std::size_t utf8_at(std::string_view text, std::size_t i, char32_t& cp) {
    if (i >= text.size()) return 0;
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(text[i + k]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return 0;
    const SecondByte second = second_byte(lead);
    if (byte(1) < second.low || byte(1) > second.high) return 0;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if (k > 1 && (byte(k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(k) & 0x3F);
    }
    cp = value;
    return length;
}

// Appends the code point (one from utf8_at, or a Latin-1 byte) as UTF-8.
template <typename Out>
void append_utf8(char32_t cp, Out& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    const int more = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    out += static_cast<char>(((0xFF00 >> (more + 1)) & 0xFF) | (cp >> (6 * more)));  // C0, E0 or F0 and the top bits
    for (int k = more - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

// Decodes one character at text[i] and advances i past it. A byte that
// does not start a valid, shortest-form sequence is returned as itself
// (its Latin-1 reading), one byte consumed.
char32_t next_char(std::string_view text, std::size_t& i) {
    char32_t cp = 0;
    const std::size_t length = utf8_at(text, i, cp);
    if (length == 0) return static_cast<uint8_t>(text[i++]);
    i += length;
    return cp;
}

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// Appends text to out: runs of printable ASCII at once, which is most of
// any text, and every other character through convert(out, i), which
// consumes it.
template <typename Out, typename Convert>
void convert_text(std::string_view text, Out& out, Convert convert) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        while (end < text.size() && text[end] >= 0x20 && text[end] < 0x7F) ++end;
        out.append(text.data() + i, end - i);
        i = end;
        if (i < text.size()) convert(out, i);
    }
}

}  // namespace

int beyond_latin1(std::string_view text) {
    int beyond = 0;
    for (std::size_t i = 0; i < text.size();) beyond += next_char(text, i) > 0xFF;
    return beyond;
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
            append_utf8(cp, o);
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

std::string latin1_to_utf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + latin1.size() / 4);
    for (const char c : latin1) append_utf8(static_cast<uint8_t>(c), out);
    return out;
}

}  // namespace velkor::cli
