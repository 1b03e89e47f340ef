// Between the 2.4 date and the 2.2/2.3 date frames.
#include "frames/frame_dates.h"

namespace velkor {

namespace {

bool is_digits(const std::string& text, std::size_t count) {
    if (text.size() != count) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::string id3v2_date_of(const std::string& year, const std::string& day_month, const std::string& time) {
    if (!is_digits(year, 4)) return year;
    std::string date = year;
    if (!is_digits(day_month, 4)) return date;
    date += "-" + day_month.substr(2, 2) + "-" + day_month.substr(0, 2);
    if (is_digits(time, 4)) date += "T" + time.substr(0, 2) + ":" + time.substr(2, 2);
    return date;
}

bool split_id3v2_date(const std::string& date, std::string (&parts)[5]) {
    static const std::size_t kAt[] = {0, 5, 8, 11, 14};
    static const char kBefore[] = {0, '-', '-', 'T', ':'};
    std::size_t end = 0;
    for (int i = 0; i < 5 && kAt[i] < date.size(); ++i) {
        const std::size_t width = i == 0 ? 4 : 2;
        if (i > 0 && date[kAt[i] - 1] != kBefore[i]) return false;
        if (date.size() < kAt[i] + width) return false;
        for (std::size_t k = 0; k < width; ++k) {
            if (date[kAt[i] + k] < '0' || date[kAt[i] + k] > '9') return false;
        }
        parts[i] = date.substr(kAt[i], width);
        end = kAt[i] + width;
    }
    // Seconds may follow; they are kept in 2.4 and have no place in 2.3.
    return end == date.size() || (end == 16 && date.size() == 19 && date[16] == ':');
}

}  // namespace velkor
