// Command-line parsing for both forms of the command: `velkor [OPTION]...
// FILE...` (analysis) and `velkor tag FILE [FIELD OPTION]...`.
#pragma once

#include <optional>
#include <string>
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

enum class Format { kBlock, kReport, kRecord, kJson };

struct AnalyseOptions {
    Action action = Action::kRun;
    std::string error;  // for kUsageError
    Format format = Format::kBlock;
    bool recursive = false;
    bool exact = false;  // --exact: count every frame
    bool all = false;    // -v, --all: every frame, and what a walk skips, named
    bool follow_links = false;  // -L: a walk follows links to folders
    int jobs = 0;        // -j: files analysed at once; 0 for the library's choice
    std::vector<std::string> files;
};

// The fields to change, as given; an option not given, or given as "n/a",
// leaves its field as it is.
struct TagOptions {
    Action action = Action::kRun;
    std::string error;
    std::string file;
    std::optional<std::string> title, artist, album, year, comment, track, genre;
    bool assume_yes = false;
};

AnalyseOptions parse_analyse_options(const std::vector<std::string>& args);

// args are the arguments behind the word "tag".
TagOptions parse_tag_options(const std::vector<std::string>& args);

}  // namespace velkor::cli
