// The checked setters of the tag record: year, track, genre by number and by
// name. An implausible year draws a warning, an unknown genre name a
// question to the user.
#include <cstdio>

#include "platform/notice.h"
#include "tags/genre_table.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr const char* kCaption = "Sonvex Example";
constexpr int32_t kFirstYear = 1000;
constexpr int32_t kLastYear = 3000;
// The question shows the name in full up to this many characters, so that a
// runaway text cannot make the box unusable.
constexpr int kMaxNameInQuestion = 200;

}  // namespace

void TagRecord::set_year(int32_t new_year) {
    if (new_year < kFirstYear || new_year > kLastYear) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "The way the year is stored, it's best\nto use a year between 1000 and "
                      "3000,\nPersonally I don't think other years is needed\n\n%d seams like a "
                      "stupid number",
                      static_cast<int>(new_year));
        platform::show_notice(text, kCaption, platform::kIconWarning | platform::kButtonsOk);
        return;
    }
    year = new_year;
}

void TagRecord::set_track(int32_t number) {
    if (number == kNoTrack) {
        version = 1.0f;
        track = kNoTrack;
    } else if (number >= 0 && number <= 255) {
        version = 1.1f;
        track = number;
    }
}

void TagRecord::set_genre(int32_t number) { genre = static_cast<uint8_t>(number & 0xFF); }

void TagRecord::set_genre_name(const char* name) {
    if (!name) name = "";
    const int32_t index = GenreTable::find(name);
    if (index >= 0) {
        genre = static_cast<uint8_t>(index);
        return;
    }
    char text[320];
    std::snprintf(text, sizeof text,
                  "the genre %.*s couldn't be found\ndo you want to set it to \"not supported\"?",
                  kMaxNameInQuestion, name);
    const int32_t answer = platform::show_notice(
        text, kCaption, platform::kIconQuestion | platform::kButtonsYesNo);
    if (answer == platform::kAnswerYes) genre = kGenreNotSupported;
}

}  // namespace velkor
