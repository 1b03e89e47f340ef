// Reading a decimal number out of tag text, the way tag fields store them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

// The value of the decimal number at the start of text, looking at no more
// than max_length bytes and stopping at a zero byte: leading white space is
// skipped, an optional '+' or '-' taken, then digits up to the first other
// byte. No digits give 0. A value outside the 32-bit range is clamped to it,
// so a long run of digits never overflows. A NULL text gives 0.
int32_t decimal_value(const char* text, std::size_t max_length);

}  // namespace velkor
