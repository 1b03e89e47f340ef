// Decimal numbers read from tag text (ID3v1 years, ID3v2 track and year
// frames, the write-back's year and track texts) and written for the exports.
#include "base/decimal_text.h"

#include <charconv>

namespace velkor {

namespace {

bool is_white_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t decimal_value(const char* text, std::size_t max_length) {
    if (!text) return 0;
    std::size_t i = 0;
    while (i < max_length && is_white_space(text[i])) ++i;
    bool negative = false;
    if (i < max_length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a magnitude one past INT32_MAX so that the most negative
    // value is reachable, and stop growing once beyond it.
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; i < max_length && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(magnitude < kLimit ? magnitude : INT32_MAX);
}

void decimal_text(int64_t value, char (&out)[kDecimalTextSize]) {
    *std::to_chars(out, out + kDecimalTextSize - 1, value).ptr = '\0';
}

}  // namespace velkor
