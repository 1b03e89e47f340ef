// Terminal-safe text; UTF-8 is read and written, and runs of plain bytes
// found, by the library's own header-only helpers.
#include "text_encoding.h"

#include "../src/base/json_text.h"

#include <cstdint>
#include <cstdio>

namespace velkor::cli {

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

}  // namespace velkor::cli
