// velkor tag FILE [FIELD OPTION]...: changes fields of the file's ID3v1 tag
// and writes it back.
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "standard_output.h"
#include "terminal.h"
#include "text_encoding.h"
#include "usage.h"
#include "velkor.h"

namespace velkor::cli {

namespace {

constexpr std::string_view kUnchanged = "n/a";
constexpr std::size_t kTextLimit = 30;
constexpr std::size_t kCommentLimitWithTrack = 28;

bool requested(const std::optional<std::string>& value) { return value && *value != kUnchanged; }

// Characters of a UTF-8 text, each a Latin-1 byte in the tag.
std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The first `limit` characters.
std::string cut(const std::string& utf8, std::size_t limit) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && n++ == limit) return utf8.substr(0, i);
    }
    return utf8;
}

// A whole number of at most nine digits, or -1.
int32_t whole_number(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || text.size() > 9) return -1;
    return static_cast<int32_t>(leading_number(text, -1));
}

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool read_yes() {
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return false;
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    return *p == 'y' || *p == 'Y';
}

// One run of the tag form: what is asked, what the file holds, and what
// comes of it.
class TagWriter {
public:
    explicit TagWriter(const TagOptions& options) : options_(options), path_(options.file) {}

    int run() {
        const int32_t status = file_.open(path_.c_str(), 0);
        if (status != VELKOR_OK) {
            say(std::string(velkor_status_text(status)) + "; the tag is not written");
            return kExitFailed;
        }
        take_texts();
        take_year();
        take_track();
        take_genre();
        fit_comment();
        if (tag_.fields == 0) {
            if (!refused_) write_stdout(shown_path() + ": nothing to change (n/a keeps a field)\n");
            return refused_ ? kExitFailed : kExitOk;
        }
        tag_.title = title_.c_str();
        tag_.artist = artist_.c_str();
        tag_.album = album_.c_str();
        tag_.comment = comment_.c_str();
        const int32_t written = velkor_write_id3v1(path_.c_str(), &tag_);
        if (written != VELKOR_OK) {
            say(std::string("the tag is not written: ") + velkor_status_text(written));
            return kExitFailed;
        }
        for (const std::string& note : notes_) say(note);
        write_stdout(shown_path() + ": ID3v1 tag " + (file_.facts().id3v1 ? "written" : "added") + ": " +
                     written_fields_ + "\n");
        warn_about_id3v2();
        return refused_ ? kExitFailed : kExitOk;
    }

private:
    std::string shown_path() const { return printable(path_); }
    void say(const std::string& message) const {
        std::fprintf(stderr, "velkor: %s: %s\n", shown_path().c_str(), message.c_str());
    }
    void refuse(const std::string& message) {
        say(message);
        refused_ = true;
    }
    void mark(uint32_t field, const char* name) {
        tag_.fields |= field;
        if (!written_fields_.empty()) written_fields_ += ", ";
        written_fields_ += name;
    }

    // Whether the written tag holds a track (ID3v1.1).
    bool tag_has_track() const {
        if (tag_.fields & VELKOR_FIELD_TRACK) return tag_.track > 0;
        return file_.facts().id3v1 == 11;
    }

    // Letters beyond Latin-1 become '?' in the tag and texts are cut to its
    // room (the comment's depends on the track, see fit_comment); the notes
    // say so once the tag is written.
    void take_text(const std::optional<std::string>& value, uint32_t field, const char* name,
                   std::string& kept) {
        if (!requested(value)) return;
        kept = *value;
        if (const int lost = beyond_latin1(kept)) {
            notes_.push_back(std::string(name) + ": " + std::to_string(lost) +
                             " character(s) beyond Latin-1 stored as '?'");
        }
        if (field != VELKOR_FIELD_COMMENT && characters(kept) > kTextLimit) {
            kept = cut(kept, kTextLimit);
            notes_.push_back(std::string(name) + ": longer than 30 characters, cut to 30");
        }
        mark(field, name);
    }

    void take_texts() {
        take_text(options_.title, VELKOR_FIELD_TITLE, "title", title_);
        take_text(options_.artist, VELKOR_FIELD_ARTIST, "artist", artist_);
        take_text(options_.album, VELKOR_FIELD_ALBUM, "album", album_);
        take_text(options_.comment, VELKOR_FIELD_COMMENT, "comment", comment_);
    }

    void take_year() {
        if (!requested(options_.year)) return;
        const int32_t year = whole_number(*options_.year);
        if (year < 1000 || year > 3000) {
            refuse("year " + printable(*options_.year) + " refused: the year must be from 1000 to 3000");
            return;
        }
        tag_.year = year;
        mark(VELKOR_FIELD_YEAR, "year");
    }

    void take_track() {
        if (!requested(options_.track)) return;
        if (*options_.track == "none") {
            tag_.track = 0;
            mark(VELKOR_FIELD_TRACK, "track (removed)");
            return;
        }
        const int32_t track = whole_number(*options_.track);
        if (track < 1 || track > 255) {
            refuse("track " + printable(*options_.track) +
                   " refused: the track must be from 1 to 255 ('none' removes it)");
            return;
        }
        tag_.track = track;
        mark(VELKOR_FIELD_TRACK, "track");
    }

    void take_genre() {
        if (!requested(options_.genre)) return;
        const std::string& name = *options_.genre;
        int32_t genre = whole_number(name);
        if (genre < 0 || !velkor_genre_name(genre)) genre = velkor_genre_number(name.c_str());
        if (genre < 0 && !store_unsupported(name)) return;
        tag_.genre = genre < 0 ? 255 : genre;
        mark(VELKOR_FIELD_GENRE, "genre");
    }

    // An unknown genre may be stored as "not supported" when the person
    // agrees; a refusal is told.
    bool store_unsupported(const std::string& name) {
        const std::string question =
            "genre \"" + printable(name) + "\" is not one of the 126 known genres; store \"not supported\"?";
        if (options_.assume_yes) {
            say(question + " yes (--yes)");
            return true;
        }
        if (stdin_is_terminal()) {
            std::fprintf(stderr, "velkor: %s: %s [y/N] ", shown_path().c_str(), question.c_str());
            std::fflush(stderr);
            if (read_yes()) return true;
            refuse("genre not changed");
            return false;
        }
        refuse("genre \"" + printable(name) +
               "\" refused: not one of the 126 known genres (--yes stores \"not supported\")");
        return false;
    }

    // The comment's room is 30 characters, 28 when the tag holds a track;
    // a comment already in the tag is cut by the library itself.
    void fit_comment() {
        const bool track = tag_has_track();
        const std::size_t limit = track ? kCommentLimitWithTrack : kTextLimit;
        const bool mine = (tag_.fields & VELKOR_FIELD_COMMENT) != 0;
        if (characters(mine ? std::string_view(comment_) : file_.text(VELKOR_ID3V1_COMMENT)) <= limit) return;
        if (mine) comment_ = cut(comment_, limit);
        notes_.push_back(track ? "comment: longer than 28 characters, cut to 28 to make room for the track"
                               : "comment: longer than 30 characters, cut to 30");
    }

    // Players show an ID3v2 tag's texts over the ID3v1 tag's.
    void warn_about_id3v2() const {
        if (file_.facts().id3v2_version == 0) return;
        std::string differing;
        const auto check = [&](uint32_t field, int32_t v2_field, const char* name, auto differs) {
            const std::string_view v2 = file_.text(v2_field);
            if ((tag_.fields & field) && !v2.empty() && differs(v2)) {
                if (!differing.empty()) differing += ", ";
                differing += name;
            }
        };
        // Against the texts as given: the ID3v1 tag holds them cut and in
        // Latin-1, which the ID3v2 tag need not.
        const auto text_differs = [](const std::optional<std::string>& given) {
            return [mine = given.value_or("")](std::string_view v2) { return v2 != mine; };
        };
        check(VELKOR_FIELD_TITLE, VELKOR_ID3V2_TITLE, "title", text_differs(options_.title));
        check(VELKOR_FIELD_ARTIST, VELKOR_ID3V2_ARTIST, "artist", text_differs(options_.artist));
        check(VELKOR_FIELD_ALBUM, VELKOR_ID3V2_ALBUM, "album", text_differs(options_.album));
        check(VELKOR_FIELD_COMMENT, VELKOR_ID3V2_COMMENT, "comment", text_differs(options_.comment));
        check(VELKOR_FIELD_YEAR, VELKOR_ID3V2_YEAR, "year",
              [&](std::string_view v2) { return leading_number(v2, -1) != tag_.year; });
        check(VELKOR_FIELD_TRACK, VELKOR_ID3V2_TRACK, "track",
              [&](std::string_view v2) { return leading_number(v2, -1) != tag_.track; });
        check(VELKOR_FIELD_GENRE, VELKOR_ID3V2_GENRE, "genre", [&](std::string_view v2) {
            const char* name = velkor_genre_name(tag_.genre);
            return !name || !same_letters(v2, name);
        });
        if (differing.empty()) return;
        say("the file's ID3v2 tag has a different " + differing +
            "; most players show the ID3v2 texts, not these");
    }

    const TagOptions& options_;
    const std::string& path_;
    AnalysedFile file_;
    velkor_id3v1_fields tag_{sizeof(velkor_id3v1_fields), 0, "", "", "", "", 0, 0, 255};
    std::string title_, artist_, album_, comment_;
    std::string written_fields_;
    std::vector<std::string> notes_;  // told once the tag is written
    bool refused_ = false;
};

}  // namespace

int run_tag_command(const std::vector<std::string>& args) {
    const TagOptions options = parse_tag_options(args);
    switch (options.action) {
        case Action::kHelp: print_tag_help(); return kExitOk;
        case Action::kUsageError: return usage_error(options.error, true);
        case Action::kVersion:
        case Action::kRun: break;
    }
    return TagWriter(options).run();
}

}  // namespace velkor::cli
