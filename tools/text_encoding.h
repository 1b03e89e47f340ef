// Conversions between the library's 8-bit (Latin-1) texts and the UTF-8 of
// terminals and JSON, and the escaping each output needs.
#pragma once

#include <string>
#include <string_view>

#include "text_buffer.h"

namespace velkor::cli {

// Each byte taken as a Latin-1 character, written as UTF-8.
std::string latin1_to_utf8(std::string_view text);

// For texts from outside (file names, command arguments): valid UTF-8
// sequences pass through, every other byte is taken as Latin-1.
std::string bytes_to_utf8(std::string_view text);

// The reverse for texts going into an 8-bit tag: valid UTF-8 sequences
// become their Latin-1 byte, or '?' beyond U+00FF (counted in *lost);
// bytes that do not form valid UTF-8 are kept as they are.
std::string utf8_to_latin1(std::string_view text, int* lost = nullptr);

// Appends the JSON string literal, quotes included, of a text from outside
// as bytes_to_utf8 reads it: quote, backslash and every control character
// (C0, DEL and C1) escaped.
void append_json_string(TextBuffer& out, std::string_view text);

// UTF-8 text made safe for a terminal: control characters (C0, DEL and C1)
// shown as escapes such as \n or \x1b, so a tag cannot steer the terminal.
std::string printable(std::string_view utf8);
void append_printable(TextBuffer& out, std::string_view utf8);

}  // namespace velkor::cli
