// Dates as ID3v2 keeps them: one ISO 8601 text in 2.4 (TDRC,
// "2004-05-01T12:30"), three frames in 2.2 and 2.3 (TYER "2004", TDAT "0105"
// as day and month, TIME "1230"). The reader, the editor's date and the
// conversion between versions go from one to the other here.
#pragma once

#include <string>

namespace velkor {

// The ISO 8601 date of TYER, TDAT and TIME: the year, then the day and month
// and the time where each is there and four digits. A year that is not
// four digits is given as it is.
std::string id3v2_date_of(const std::string& year, const std::string& day_month, const std::string& time);

// The digits of year, month, day, hour and minute of "2004",
// "2004-05-01", "2004-05-01T12:30" (seconds may follow) as far as given;
// false for any other text.
bool split_id3v2_date(const std::string& date, std::string (&parts)[5]);

}  // namespace velkor
