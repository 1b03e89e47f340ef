// What each kind of ID3v2 text frame may hold.
#include "tags/value_check.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace velkor {

namespace {

// The number the `width` digits at `at` make, or -1 when they are not all
// digits or run past the text.
int32_t digits_at(const std::string& text, std::size_t at, std::size_t width) {
    if (at + width > text.size()) return -1;
    int32_t number = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

// A whole number of 1 to 9 digits, or -1.
int32_t whole_number(const std::string& text) {
    return text.empty() || text.size() > 9 ? -1 : digits_at(text, 0, text.size());
}

bool real_day(int32_t year, int32_t month, int32_t day) {
    static const int32_t kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month != 2 || day <= 28 || leap;
}

// ISO 8601 as ID3v2.4 takes it: yyyy, yyyy-MM, yyyy-MM-dd, yyyy-MM-ddTHH,
// yyyy-MM-ddTHH:mm, yyyy-MM-ddTHH:mm:ss.
bool iso_date(const std::string& text) {
    static const std::size_t kAt[] = {0, 5, 8, 11, 14, 17};
    static const char kBefore[] = {0, '-', '-', 'T', ':', ':'};
    static const int32_t kMost[] = {9999, 12, 31, 23, 59, 59};
    int32_t parts[6] = {};
    std::size_t end = 0;
    for (int i = 0; i < 6 && end < text.size(); ++i) {
        if (i > 0 && text[end] != kBefore[i]) return false;
        const std::size_t width = i == 0 ? 4 : 2;
        parts[i] = digits_at(text, kAt[i], width);
        if (parts[i] < 0 || parts[i] > kMost[i]) return false;
        end = kAt[i] + width;
        if (i == 2 && !real_day(parts[0], parts[1], parts[2])) return false;
    }
    return end == text.size() && parts[0] >= 1 && (text.size() < 7 || parts[1] >= 1);
}

// "3" or "3/12": from 1 on, a total from 1 on.
bool position(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return whole_number(text) >= 1;
    return whole_number(text.substr(0, slash)) >= 1 && whole_number(text.substr(slash + 1)) >= 1;
}

// A genre's name, its number in the table (0 to 191) or "(n)" with one,
// "RX" or "CR" (remix, cover).
bool genre(const std::string& text) {
    std::string number = text;
    if (text.size() > 2 && text.front() == '(' && text.back() == ')') number = text.substr(1, text.size() - 2);
    if (number == "RX" || number == "CR") return true;
    if (number.find_first_not_of("0123456789") != std::string::npos) return true;  // a name
    const int32_t n = whole_number(number);
    return n >= 0 && n <= 191;
}

bool is(const std::string& id, const char* const* ids, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (id == ids[i]) return true;
    }
    return false;
}

}  // namespace

const char* text_value_problem(const std::string& id, const std::string& value) {
    if (value.empty()) return nullptr;
    if (!id.empty() && id[0] == 'W') {
        // Link frames hold Latin-1; a space or control character ends a
        // link for every reader, a letter beyond ASCII would be lost.
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= 0x20 || byte >= 0x7F) {
                return "a link is a URL without spaces, control characters or letters beyond ASCII "
                       "(percent-encode them: https://example.org/a%20b)";
            }
        }
        return nullptr;
    }
    if (id == "APIC") {
        // A picture's MIME type: an image's, or "-->" for a link to one.
        const bool image = value.size() > 6 && value.compare(0, 6, "image/") == 0 &&
                           value.find_first_of(" \t/;", 6) == std::string::npos;
        return image || value == "-->" ? nullptr : "a picture's MIME type is image/... (image/jpeg) or --> for a link";
    }
    static const char* const kDates[] = {"TDRC", "TDOR", "TDRL", "TDEN", "TDTG"};
    static const char* const kYears[] = {"TYER", "TORY"};
    // Whole numbers: milliseconds, beats per minute, bytes.
    static const char* const kNumbers[] = {"TLEN", "TBPM", "TDLY", "TSIZ"};
    if (is(id, kDates, std::size(kDates))) {
        return iso_date(value) ? nullptr
                               : "a date is ISO 8601 (2004, 2004-05, 2004-05-01, 2004-05-01T12:30) with a real "
                                 "month, day and time";
    }
    if (is(id, kYears, std::size(kYears))) {
        const int32_t year = value.size() == 4 ? whole_number(value) : -1;
        return year >= 1 ? nullptr : "a year is four digits (2004)";
    }
    if (id == "TDAT") {
        return real_day(2000, digits_at(value, 2, 2), digits_at(value, 0, 2)) && value.size() == 4
                   ? nullptr
                   : "TDAT is day and month as DDMM (0105 for 1 May)";
    }
    if (id == "TIME") {
        return value.size() == 4 && digits_at(value, 0, 2) >= 0 && digits_at(value, 0, 2) <= 23 &&
                       digits_at(value, 2, 2) >= 0 && digits_at(value, 2, 2) <= 59
                   ? nullptr
                   : "TIME is hours and minutes as HHMM (1230)";
    }
    if (id == "TRCK" || id == "TPOS") {
        return position(value) ? nullptr : "a track or disc is a number from 1, with a total from 1 (3 or 3/12)";
    }
    if (id == "TCON") return genre(value) ? nullptr : "a genre is a name or a number from 0 to 191";
    if (id == "TCMP") return value == "0" || value == "1" ? nullptr : "TCMP is 1 (a compilation) or 0";
    if (is(id, kNumbers, std::size(kNumbers))) {
        return whole_number(value) >= 0 ? nullptr : "this frame holds a whole number (digits only)";
    }
    return nullptr;
}

const char* id3v1_value_problem(int32_t year, int32_t track, int32_t genre) {
    if (year < 0 || year > 9999) return "an ID3v1 year is from 0 (none) to 9999";
    if (track < 0 || track > 255) return "an ID3v1 track is from 1 to 255 (0 removes it)";
    if (!(genre >= 0 && genre <= 191) && genre != 255) return "an ID3v1 genre is a number from 0 to 191, or 255 for none";
    return nullptr;
}

}  // namespace velkor
