// UTF-8, read and written: the texts of velkor's own interface and the
// ID3 encodings turned into it or out of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_span.h"

namespace velkor {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The valid UTF-8 sequence at bytes[pos] (shortest form, no surrogates):
// its length with code_point set, or 0 when there is none there.
std::size_t next_utf8(ByteSpan bytes, std::size_t pos, uint32_t& code_point);

// Appends the code point as UTF-8 (U+FFFD for one that cannot be).
void append_utf8(uint32_t code_point, std::string& out);

}  // namespace velkor
