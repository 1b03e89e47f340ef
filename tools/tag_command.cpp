// velkor tag [OPTION]... FILE...: gives each file the changes asked for in
// its ID3v2 tag (the ID3v1 tag following) through the library's edits, or,
// with --id3v1 only, changes the ID3v1 tag alone.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "small_file.h"
#include "pending_sync.h"
#include "signals.h"
#include "standard_output.h"
#include "terminal.h"
#include "text_encoding.h"
#include "text_output.h"
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

// One file's ID3v1 tag (--id3v1 only): what is asked, what the file holds,
// and what comes of it.
class TagWriter {
public:
    TagWriter(const TagOptions& options, const std::string& path) : options_(options), path_(path) {}

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
        saving(shown_path().c_str());
        const int32_t written = velkor_write_id3v1(path_.c_str(), &tag_);
        saving(nullptr);
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
        if (options_.year->empty()) {
            tag_.year = 0;  // an empty field, as "" clears every other
            mark(VELKOR_FIELD_YEAR, "year (cleared)");
            return;
        }
        // A full date, as the ID3v2 tag takes it, gives its year.
        const std::string& date = *options_.year;
        if (const char* problem = velkor_value_problem("TDRC", date.c_str()); problem && date.size() > 4) {
            refuse("year " + printable(date) + " refused: " + problem);
            return;
        }
        const int32_t year = whole_number(date.substr(0, 4));
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


// --- ID3v2 through the library's edits --------------------------------------

void say(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "velkor: %s: %s\n", printable(path).c_str(), message.c_str());
}

// "4.2 kB (4196 bytes)", as the readable block gives sizes.
std::string size_text(int64_t bytes) {
    TextBuffer text;
    append_size(text, bytes);
    return std::string(text.view());
}

// The picture of --cover, read once for all files.
struct Cover {
    std::string mime;
    std::string bytes;
};

constexpr std::size_t kCoverLimit = std::size_t{16} << 20;

// The image's type from its first bytes; "" for none known.
std::string image_type(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "image/jpeg";
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) return "image/png";
    if (bytes.compare(0, 4, "GIF8") == 0) return "image/gif";
    if (bytes.compare(0, 2, "BM") == 0) return "image/bmp";
    if (bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "WEBP") == 0) return "image/webp";
    return "";
}

// Reads the cover: a regular file of at most 16 MiB whose first bytes are
// an image's. What it is is checked before it is read whole, so a folder,
// a device or a FIFO is refused at once and nothing endless is read.
bool load_cover(const std::string& path, Cover& cover) {
    const auto refuse = [&](const std::string& why) {
        say(path, why + "; no file was changed");
        return false;
    };
    std::string problem;
    const auto is_image = [](const std::string& first) { return !image_type(first).empty(); };
    switch (read_small_file(path, kCoverLimit, is_image, cover.bytes, problem)) {
        case kSmallFileRead: break;
        case kSmallFileTooLarge: return refuse("the cover is larger than 16 MiB");
        case kSmallFileNotRegular: return refuse("the cover is not a regular file (a folder, device or FIFO)");
        case kSmallFileRefused: return refuse("the cover is not a JPEG, PNG, GIF, BMP or WebP image");
        case kSmallFileFailed: return refuse("the cover cannot be read: " + problem);
    }
    cover.mime = image_type(cover.bytes);
    return true;
}

struct EditCloser {
    void operator()(velkor_edit* edit) const { velkor_edit_close(edit); }
};

// One file's edit: every change asked for, then one save.
class EditRun {
public:
    EditRun(const TagOptions& options, const std::string& path, const Cover* cover, PendingSync& pending)
        : options_(options), path_(path), cover_(cover), pending_(pending) {}

    bool run() {
        velkor_edit* opened = nullptr;
        const int32_t status = velkor_edit_open(path_.c_str(), 0, &opened);
        if (status != VELKOR_OK) {
            say(path_, (status == VELKOR_ERROR_NO_AUDIO ? not_mpeg_audio(path_.c_str()) : velkor_status_text(status)) +
                           "; nothing written");
            return false;
        }
        edit_.reset(opened);
        // The file as it was: the texts a dry run compares, the tags and size a save changes.
        before_.open(path_.c_str(), VELKOR_OPEN_WITHOUT_AUDIO);
        if (!make_changes()) return false;

        uint32_t how = (options_.id3v2_version == 4 ? VELKOR_SAVE_ID3V24 : 0u) |
                       (options_.break_links ? VELKOR_SAVE_BREAK_LINKS : 0u) |
                       (options_.dry_run ? VELKOR_SAVE_DRY_RUN : VELKOR_SAVE_NO_SYNC);
        // --id3v2-version converts an existing tag: the version it had is
        // what a plain plan (a dry run, nothing written) would keep.
        converted_from_ = 0;
        if (options_.id3v2_version) {
            velkor_save_report kept{};
            kept.size = sizeof kept;
            if (velkor_edit_save(edit_.get(), (how & VELKOR_SAVE_ID3V24) | VELKOR_SAVE_DRY_RUN, &kept) == VELKOR_OK &&
                kept.id3v2_version != 0 && kept.id3v2_version != options_.id3v2_version) {
                converted_from_ = kept.id3v2_version;
            }
            how |= VELKOR_SAVE_CONVERT;
        }
        if (!options_.dry_run) pending_.watch(path_);
        velkor_save_report report{};
        report.size = sizeof report;
        if (options_.preserve_times) how |= VELKOR_SAVE_PRESERVE_TIMES;
        const std::string shown = printable(path_);
        saving(shown.c_str());
        const int32_t saved = velkor_edit_save(edit_.get(), how, &report);
        saving(nullptr);
        if (saved != VELKOR_OK) {
            std::string why = velkor_status_text(saved);
            if (saved == VELKOR_ERROR_LINKED) why += " (--break-links gives this name a copy of its own)";
            say(path_, "nothing written: " + why);
            return false;
        }
        tell(report);
        return true;
    }

private:
    // `words`: why the library refuses a value, where it says (else the
    // status's words).
    bool refused(const std::string& what, int32_t status, const char* words = nullptr) {
        say(path_, what + " refused: " + (words ? words : velkor_status_text(status)) + "; nothing written");
        return false;
    }

    bool make_changes() {
        velkor_edit* edit = edit_.get();
        // Tags removed first: fields set afterwards make a new one.
        const uint32_t removed = ((options_.remove_tags & kTagId3v2) ? VELKOR_TAG_ID3V2 : 0u) |
                                 ((options_.remove_tags & kTagApev2) ? VELKOR_TAG_APEV2 : 0u);
        if (const int32_t s = removed ? velkor_edit_remove_tag(edit, removed) : VELKOR_OK; s != VELKOR_OK) {
            return refused("--remove-tags", s);
        }
        const int32_t v1 = (options_.remove_tags & kTagId3v1) || options_.id3v1 == Id3v1Mode::kRemove
                               ? VELKOR_ID3V1_REMOVE
                           : options_.id3v1 == Id3v1Mode::kAdd ? VELKOR_ID3V1_ADD
                                                               : VELKOR_ID3V1_KEEP;
        if (const int32_t s = velkor_edit_set_id3v1(edit, v1); s != VELKOR_OK) return refused("--id3v1", s);

        const struct {
            const std::optional<std::string>& value;
            int32_t field;
            const char* option;
            const char* frame;  // the text frame the field sets
        } fields[] = {
            {options_.title, VELKOR_ID3V2_TITLE, "--title", "TIT2"},
            {options_.artist, VELKOR_ID3V2_ARTIST, "--artist", "TPE1"},
            {options_.album, VELKOR_ID3V2_ALBUM, "--album", "TALB"},
            {options_.album_artist, VELKOR_ID3V2_ALBUM_ARTIST, "--album-artist", "TPE2"},
            {options_.year, VELKOR_ID3V2_DATE, "--date", "TDRC"},
            {options_.track, VELKOR_ID3V2_TRACK, "--track", "TRCK"},
            {options_.disc, VELKOR_ID3V2_DISC, "--disc", "TPOS"},
            {options_.genre, VELKOR_ID3V2_GENRE, "--genre", "TCON"},
            {options_.composer, VELKOR_ID3V2_COMPOSER, "--composer", "TCOM"},
        };
        for (const auto& f : fields) {
            if (!requested(f.value)) continue;
            const int32_t s = velkor_edit_set_field(edit, f.field, f.value->c_str());
            if (s != VELKOR_OK) {
                return refused(std::string(f.option) + " '" + printable(*f.value) + "'", s,
                               velkor_value_problem(f.frame, f.value->c_str()));
            }
            changed_.push_back(f.field);
        }
        if (requested(options_.comment) && !set_comment(*options_.comment)) return false;
        for (const FrameChange& change : options_.frames) {
            if (!change_frame(change)) return false;
        }
        if (options_.remove_cover) velkor_edit_remove_pictures(edit, -1);
        if (cover_) {
            const int32_t s = velkor_edit_add_picture(edit, 3, cover_->mime.c_str(), "", cover_->bytes.data(),
                                                      static_cast<int32_t>(cover_->bytes.size()));
            if (s != VELKOR_OK) return refused("--cover", s);
        }
        return true;
    }

    // The whole text is the comment of --comment-lang and --comment-desc
    // (eng and none unless given); "" removes that comment.
    bool set_comment(const std::string& value) {
        const int32_t s = velkor_edit_set_comment(edit_.get(), options_.comment_language.c_str(),
                                                  options_.comment_description.c_str(),
                                                  value.empty() ? nullptr : value.c_str());
        if (options_.comment_language == "eng" && options_.comment_description.empty()) {
            changed_.push_back(VELKOR_ID3V2_COMMENT);
        }
        return s == VELKOR_OK || refused("--comment '" + printable(value) + "'", s);
    }

    // --set ID=VALUE ("" removes) and --remove ID.
    bool change_frame(const FrameChange& change) {
        velkor_edit* edit = edit_.get();
        const char* text = change.value ? change.value->c_str() : nullptr;
        const int32_t count = change.value && !change.value->empty() ? 1 : 0;
        int32_t s;
        if (change.id.compare(0, 5, "TXXX:") == 0) {
            s = velkor_edit_set_user_text(edit, change.id.c_str() + 5, &text, count);
        } else if (is_tag_key(change.id)) {
            s = velkor_edit_set_key(edit, change.id.c_str(), &text, count);
        } else if (!change.value) {
            s = velkor_edit_remove_frames(edit, change.id.c_str());
        } else if (change.id[0] == 'W' && change.id != "WXXX") {
            s = velkor_edit_set_url(edit, change.id.c_str(), nullptr, count ? text : nullptr);
        } else {
            // The library knows which frames hold texts (T..., GRP1, MVNM, MVIN).
            s = velkor_edit_set_text(edit, change.id.c_str(), &text, count);
            if (s == VELKOR_ERROR_ARGUMENT && velkor_value_problem(change.id.c_str(), text) == nullptr) {
                say(path_, "--set " + change.id + " refused: --set takes text and link (W...) frames; nothing written");
                return false;
            }
        }
        return s == VELKOR_OK || refused((change.value ? "--set " : "--remove ") + change.id, s,
                                         change.value ? velkor_value_problem(change.id.c_str(), text) : nullptr);
    }

    // One line: the tags the file holds now and how they got there (the
    // tags removed and the bytes cut from the end too); with --dry-run, how
    // they would, and every change.
    void tell(const velkor_save_report& report) {
        std::string tags;
        const auto add = [&tags](const std::string& name) { tags += (tags.empty() ? "" : " and ") + name; };
        if (report.id3v2_version) add("ID3v2." + std::to_string(report.id3v2_version));
        if (report.tags & VELKOR_TAG_ID3V1) add("ID3v1");
        if (report.tags & VELKOR_TAG_APEV2) add("APEv2");
        const velkor_file_facts& was = before_.facts();
        std::string removed;
        int removed_count = 0;
        const auto gone = [&](bool had, uint32_t bit, const char* name) {
            if (!had || (report.tags & bit)) return;
            removed += (removed.empty() ? "" : " and ") + std::string(name);
            ++removed_count;
        };
        gone(was.id3v2_version != 0, VELKOR_TAG_ID3V2, "ID3v2");
        gone(was.id3v1 != 0, VELKOR_TAG_ID3V1, "ID3v1");
        gone(before_.ape_item_count() > 0, VELKOR_TAG_APEV2, "APEv2");
        if (removed_count) removed += removed_count == 1 ? " tag removed" : " tags removed";
        if (tags.empty()) {
            // Nothing left: the removal leads the line.
            tags = removed.empty() ? "no tags left:" : removed + ",";
            if (report.way != VELKOR_SAVED_IN_PLACE) removed.clear();
        }

        std::string line = printable(path_) + ": ";
        const bool dry = options_.dry_run;
        const std::string verb = dry ? " would be " : " ";
        if (report.way == VELKOR_SAVED_NOTHING) {
            line += dry ? "would stay unchanged" : "unchanged";
        } else if (report.way == VELKOR_SAVED_IN_PLACE) {
            if (report.bytes_written > 0 || removed.empty()) {
                line += tags + verb + "written in place";
                if (!dry) line += ": " + size_text(report.bytes_written);
            }
            if (!removed.empty()) {
                if (report.bytes_written > 0) line += "; ";
                line += dry ? "the " + removed.substr(0, removed.rfind(" removed")) + " would be removed" : removed;
                const int64_t cut = was.file_size - file_size_now();
                if (!dry && cut > 0) line += " (cut " + size_text(cut) + ")";
            }
        } else {
            line += tags + verb + "rewritten";
            if (!dry) line += ": " + size_text(report.bytes_written);
            if (dry) line += " (the whole file copied beside it)";
            if (!removed.empty()) line += "; " + removed;
        }
        if (report.tags & VELKOR_TAG_ID3V1) line += id3v1_shortening();
        write_stdout(line + "\n");
        if (dry) tell_field_changes();
        if (converted_from_ && report.id3v2_version) {
            say(path_, std::string(dry ? "would convert" : "converted") + " the tag from ID3v2." +
                           std::to_string(converted_from_) + " to ID3v2." + std::to_string(report.id3v2_version));
        }
        if (report.dropped_frames > 0) {
            say(path_, std::to_string(report.dropped_frames) + " frame(s) without a form in ID3v2." +
                           std::to_string(report.id3v2_version) + " left out");
        }
    }

    int64_t file_size_now() const {
        AnalysedFile now;
        return now.open(path_.c_str(), VELKOR_OPEN_WITHOUT_AUDIO) == VELKOR_OK || now.is_open()
                   ? now.facts().file_size
                   : before_.facts().file_size;
    }

    // The ID3v1 tag holds 30 Latin-1 characters a text (the comment 28 with a
    // track): what this run's texts lose there, for the file's line.
    std::string id3v1_shortening() const {
        std::string lost;
        const bool track = requested(options_.track) ? !options_.track->empty() : before_.facts().id3v1 == 11 ||
                                                                                    !before_.text(VELKOR_ID3V2_TRACK).empty();
        const struct {
            const std::optional<std::string>& value;
            const char* name;
            std::size_t room;
        } texts[] = {{options_.title, "title", kTextLimit},
                     {options_.artist, "artist", kTextLimit},
                     {options_.album, "album", kTextLimit},
                     {options_.comment, "comment", track ? kCommentLimitWithTrack : kTextLimit}};
        for (const auto& t : texts) {
            if (!requested(t.value)) continue;
            std::string what;
            if (characters(*t.value) > t.room) what = "cut to " + std::to_string(t.room) + " characters";
            if (beyond_latin1(*t.value) > 0) what += (what.empty() ? "" : ", ") + std::string("letters outside Latin-1 as '?'");
            if (!what.empty()) lost += (lost.empty() ? "" : "; ") + std::string(t.name) + " " + what;
        }
        return lost.empty() ? "" : " (in ID3v1: " + lost + ")";
    }

    void tell_field_changes() {
        static const struct {
            int32_t field;
            const char* name;
            const std::optional<std::string> TagOptions::*value;
        } kNames[] = {
            {VELKOR_ID3V2_TITLE, "title", &TagOptions::title},
            {VELKOR_ID3V2_ARTIST, "artist", &TagOptions::artist},
            {VELKOR_ID3V2_ALBUM, "album", &TagOptions::album},
            {VELKOR_ID3V2_ALBUM_ARTIST, "album artist", &TagOptions::album_artist},
            {VELKOR_ID3V2_DATE, "date", &TagOptions::year},
            {VELKOR_ID3V2_TRACK, "track", &TagOptions::track},
            {VELKOR_ID3V2_DISC, "disc", &TagOptions::disc},
            {VELKOR_ID3V2_GENRE, "genre", &TagOptions::genre},
            {VELKOR_ID3V2_COMPOSER, "composer", &TagOptions::composer},
            {VELKOR_ID3V2_COMMENT, "comment", &TagOptions::comment},
        };
        for (const auto& n : kNames) {
            if (std::find(changed_.begin(), changed_.end(), n.field) == changed_.end()) continue;
            const std::string old(before_.text(n.field)), wanted = *(options_.*n.value);
            if (old == wanted) continue;
            write_stdout(std::string("  ") + n.name + ": \"" + printable(old) + "\" -> \"" + printable(wanted) + "\"\n");
        }
        if (requested(options_.comment) &&
            (options_.comment_language != "eng" || !options_.comment_description.empty())) {
            write_stdout("  comment (" + options_.comment_language + ", \"" + printable(options_.comment_description) +
                         "\"): " + (options_.comment->empty() ? "removed" : "\"" + printable(*options_.comment) + "\"") +
                         "\n");
        }
        for (const FrameChange& change : options_.frames) {
            write_stdout("  " + printable(change.id) + ": " +
                         (change.value && !change.value->empty() ? "\"" + printable(*change.value) + "\"" : "removed") +
                         "\n");
        }
        if (options_.remove_cover) write_stdout("  pictures: removed\n");
        if (cover_) {
            write_stdout("  picture: front cover, " + cover_->mime + ", " +
                         size_text(static_cast<int64_t>(cover_->bytes.size())) + "\n");
        }
    }

    const TagOptions& options_;
    const std::string& path_;
    const Cover* cover_;
    PendingSync& pending_;
    std::unique_ptr<velkor_edit, EditCloser> edit_;
    AnalysedFile before_;         // the file as it was
    std::vector<int32_t> changed_;  // the fields set
    int converted_from_ = 0;        // the version --id3v2-version converts from; 0: none
};

// The first value the library would refuse for every file alike, in its
// words, as an option error: told once, before any file is touched.
std::string refused_value(const TagOptions& options) {
    if (options.id3v1 == Id3v1Mode::kOnly) return "";
    const struct {
        const std::optional<std::string>& value;
        const char* option;
        const char* frame;
    } fields[] = {{options.year, "--date", "TDRC"}, {options.track, "--track", "TRCK"},
                  {options.disc, "--disc", "TPOS"}, {options.genre, "--genre", "TCON"}};
    for (const auto& f : fields) {
        if (!requested(f.value)) continue;
        if (const char* problem = velkor_value_problem(f.frame, f.value->c_str())) {
            return std::string(f.option) + " '" + printable(*f.value) + "' refused: " + problem;
        }
    }
    for (const FrameChange& change : options.frames) {
        if (!change.value || change.id.compare(0, 5, "TXXX:") == 0) continue;
        if (const char* problem = velkor_value_problem(change.id.c_str(), change.value->c_str())) {
            return "--set " + change.id + " refused: " + problem + " ('" + printable(*change.value) + "')";
        }
    }
    return "";
}

}  // namespace

int run_tag_command(const std::vector<std::string>& args) {
    const TagOptions options = parse_tag_options(args);
    switch (options.action) {
        case Action::kHelp: print_tag_help(); return kExitOk;
        case Action::kUsageError: return usage_error(options.error, true);
        case Action::kVersion:
        case Action::kRun: break;
    }
    if (const std::string refusal = refused_value(options); !refusal.empty()) return usage_error(refusal, true);
    Cover cover;
    if (options.cover && !load_cover(*options.cover, cover)) return kExitFailed;
    // Ctrl-C lets the file being written finish, then stops.
    catch_interrupt();
    // Files changed in place are synced together when the command ends,
    // however it ends; a sync that fails fails the command.
    PendingSync pending;
    const auto synced = [&](int status) -> int {
        std::string problem;
        if (pending.flush(problem)) return status;
        std::fprintf(stderr, "velkor: the files saved could not all be written to the disk: %s\n", problem.c_str());
        return kExitFailed;
    };
    int status = kExitOk;
    for (const std::string& path : options.files) {
        if (interrupted()) return synced(kExitInterrupted);
        const bool done = options.id3v1 == Id3v1Mode::kOnly
                              ? TagWriter(options, path).run() == kExitOk
                              : EditRun(options, path, options.cover ? &cover : nullptr, pending).run();
        if (!done) status = kExitFailed;
        if (stdout_failed()) return synced(kExitFailed);
    }
    return synced(status);
}

}  // namespace velkor::cli
