// The escaping that terminals need, and what an 8-bit tag can hold
// of a UTF-8 text.
#pragma once

#include <string>
#include <string_view>

#include "text_buffer.h"

namespace velkor::cli {

// The functions below read UTF-8 that may not be valid, as file names and
// command arguments can be: valid sequences are characters, every other
// byte is taken as a Latin-1 character.

// How many characters lie beyond U+00FF: an 8-bit tag cannot hold them.
int beyond_latin1(std::string_view text);

// The text made safe for a terminal: control characters (C0, DEL and C1)
// shown as escapes such as \n or \x1b, so a tag cannot steer the terminal.
std::string printable(std::string_view utf8);

void append_printable(TextBuffer& out, std::string_view utf8);

// Each byte taken as a Latin-1 character, as UTF-8 (the legacy exports'
// texts).
std::string latin1_to_utf8(std::string_view latin1);

}  // namespace velkor::cli
