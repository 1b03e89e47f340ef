// Command-line parsing for both forms of the command: `velkor [OPTION]...
// FILE...` (analysis) and `velkor tag [OPTION]... FILE...`.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,  // a file could not be analysed, its tag not written, or output lost
    kExitUsage = 2,   // unknown option, missing argument
    // Ctrl-C: the process then ends by SIGINT itself, which a shell shows
    // as 130 and which stops a script's loop around the command.
    kExitInterrupted = 130,
};

enum class Action { kRun, kHelp, kVersion, kUsageError };

enum class Format { kBlock, kReport, kRecord, kJson, kBrief };

struct AnalyseOptions {
    Action action = Action::kRun;
    std::string error;  // for kUsageError
    Format format = Format::kBlock;
    bool recursive = false;
    bool exact = false;  // --exact: count every frame
    bool all = false;    // -v, --all: every frame, and what a walk skips, named
    bool follow_links = false;  // -L: a walk follows links to folders
    int jobs = 0;        // -j: files analysed at once; 0 for the library's choice
    std::string brief_format;  // --format: the --brief line's template
    std::string save_cover;    // --save-cover: where the front cover goes
    bool force = false;        // --force: --save-cover may replace a file
    std::vector<std::string> files;
};

// What becomes of the ID3v1 tag (--id3v1): kept and following the ID3v2
// fields, added, removed, or the only tag written (the ID3v1 form).
enum class Id3v1Mode { kKeep, kAdd, kRemove, kOnly };

// Tags, for --remove-tags.
enum TagKind : unsigned { kTagId3v1 = 1, kTagId3v2 = 2, kTagApev2 = 4 };

// One --set, --remove or field option, in the order given: a frame id
// ("TIT2", "TXXX:description", "WOAR") or a field name of the library.
struct FrameChange {
    std::string id;
    std::optional<std::string> value;  // none: --remove
};

// The changes to make, as given; an option not given, or given as "n/a",
// leaves its field as it is, and "" clears it.
struct TagOptions {
    Action action = Action::kRun;
    std::string error;
    std::vector<std::string> files;
    std::optional<std::string> title, artist, album, year, comment, track, genre;
    std::optional<std::string> album_artist, disc, composer;
    std::string comment_language = "eng", comment_description;  // --comment-lang, --comment-desc
    std::vector<FrameChange> frames;  // --set and --remove
    std::optional<std::string> cover;
    bool remove_cover = false;
    unsigned remove_tags = 0;  // TagKind bits
    int id3v2_version = 0;     // 3 or 4; 0 for the library's choice
    Id3v1Mode id3v1 = Id3v1Mode::kKeep;
    bool dry_run = false;
    bool break_links = false;
    bool preserve_times = false;  // the files keep their modification times
    bool assume_yes = false;
};

AnalyseOptions parse_analyse_options(const std::vector<std::string>& args);

// args are the arguments behind the word "tag".
TagOptions parse_tag_options(const std::vector<std::string>& args);
// A key of the merged view (doc/keys.md), as written there: "TITLE".
bool is_tag_key(std::string_view name);

}  // namespace velkor::cli
