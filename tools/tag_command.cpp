// velkor tag FILE [FIELD OPTION]...: changes fields of the file's ID3v1 tag
// and writes it back.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli_notices.h"
#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "terminal.h"
#include "stream/mp3_file_info.h"
#include "tags/genre_table.h"
#include "text_encoding.h"
#include "usage.h"

namespace velkor::cli {

namespace {

constexpr const char* kUnchanged = "n/a";
constexpr std::size_t kTextLimit = TagRecord::kTextSize - 1;

void warn(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "velkor: %s: %s\n", printable(bytes_to_utf8(path)).c_str(), message.c_str());
}

// A text field as the tag stores it: Latin-1, with a warning for what the
// person will not find in the tag as typed.
std::string tag_text(const std::string& path, const char* name, const std::optional<std::string>& value) {
    if (!value) return kUnchanged;
    int lost = 0;
    std::string latin1 = utf8_to_latin1(*value, &lost);
    if (lost > 0) {
        warn(path, std::string(name) + ": " + std::to_string(lost) +
                       " character(s) beyond Latin-1 stored as '?'");
    }
    if (latin1.size() > kTextLimit) {
        warn(path, std::string(name) + ": longer than 30 characters, cut to 30");
    }
    return latin1;
}

// A genre number 0 to 125 names its table entry; anything else is a name.
std::string genre_text(const std::string& path, const std::optional<std::string>& value) {
    if (value && !value->empty() && value->size() <= 3 &&
        value->find_first_not_of("0123456789") == std::string::npos) {
        if (const char* name = GenreTable::name(std::atoi(value->c_str()))) return name;
    }
    return tag_text(path, "genre", value);
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
    install_notice_handler({options.assume_yes, stdin_is_terminal()});

    const std::string& path = options.file;
    Mp3FileInfo info;
    const int notices_before = notices_shown();
    const int32_t status = info.load(path.c_str());
    if (status != kStatusOk) {
        if (notices_shown() == notices_before) warn(path, status_problem(status));
        return kExitFailed;
    }

    const std::string title = tag_text(path, "title", options.title);
    const std::string artist = tag_text(path, "artist", options.artist);
    const std::string album = tag_text(path, "album", options.album);
    const std::string comment = tag_text(path, "comment", options.comment);
    const std::string genre = genre_text(path, options.genre);
    const std::string year = options.year.value_or(kUnchanged);
    const std::string track = options.track.value_or(kUnchanged);

    const int32_t result = info.write_tag(title.c_str(), artist.c_str(), album.c_str(), year.c_str(),
                                          comment.c_str(), track.c_str(), genre.c_str());
    if (result != kStatusOk) {
        warn(path, "the tag was not written (status " + std::to_string(result) + ")");
        return kExitFailed;
    }
    // An ID3v1.1 tag keeps its track where the comment's last two bytes were.
    if (info.tag_track() >= 0 && strnlen(info.tag.comment, sizeof info.tag.comment) > kTextLimit - 2) {
        warn(path, "comment: longer than 28 characters, cut to 28 to make room for the track");
    }
    return kExitOk;
}

}  // namespace velkor::cli
