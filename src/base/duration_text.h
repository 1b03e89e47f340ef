// Playing times as text: "mm:ss", or "hh:mm:ss" from an hour on, the hours
// growing past two digits when needed: the legacy record's length and
// velkor_duration_text, which the command shows its times with.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>

namespace velkor {

// Room for any time: 16 digits of hours, ":mm:ss" and the zero byte. Times
// that fit 32 bits take at most 12 characters.
constexpr std::size_t kDurationTextSize = 24;

// Writes the time (a negative one as 0) and a zero byte at out; returns the
// position of the zero byte.
inline char* duration_text(int64_t seconds, char* out) {
    if (seconds < 0) seconds = 0;
    const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    // Written without printf, which costs more than the figures it shows.
    auto two_digits = [&out](int64_t value) {
        if (value < 10) *out++ = '0';
        out = std::to_chars(out, out + 20, value).ptr;
    };
    if (h > 0) {
        two_digits(h);
        *out++ = ':';
    }
    two_digits(m);
    *out++ = ':';
    two_digits(s);
    *out = '\0';
    return out;
}

}  // namespace velkor
