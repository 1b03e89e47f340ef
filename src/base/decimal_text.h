// Decimal numbers in text: read out of tag fields the way they store them,
// and written for the exports' reports and records.
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

// Room for any 64-bit number as decimal text and its zero byte.
constexpr std::size_t kDecimalTextSize = 21;

// Writes value as "%d" would, ended by a zero byte. Without printf: the
// exports format several numbers per file, and printf's parsing and locale
// cost more than the rest of a report.
void decimal_text(int64_t value, char (&out)[kDecimalTextSize]);

}  // namespace velkor
