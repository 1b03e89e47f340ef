// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <cstdio>

#include "cli_notices.h"
#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "file_walk.h"
#include "json_output.h"
#include "platform/terminal.h"
#include "progress.h"
#include "stream/mp3_file_info.h"
#include "text_encoding.h"
#include "text_output.h"
#include "usage.h"

namespace velkor::cli {

namespace {

struct FileOutput {
    std::string text;         // for stdout
    std::string problem;      // for stderr, when the library has not told it
    bool ok = false;
    int64_t length_seconds = 0;
};

// Analyses one file in the chosen format.
FileOutput analyse_one(const AnalyseOptions& options, const std::string& path, bool with_path) {
    FileOutput result;
    if (options.format == Format::kReport || options.format == Format::kRecord) {
        ExportOutput output = options.format == Format::kReport ? report_output(path, with_path)
                                                                : record_output(path);
        result.text = std::move(output.text);
        result.ok = output.ok;
        result.length_seconds = output.length_seconds;
        if (!output.ok && !output.notice_shown) result.problem = "could not be analysed";
        return result;
    }
    const int before = notices_shown();
    const FileFacts facts = analyse_file(path);
    result.ok = facts.status == kStatusOk;
    result.length_seconds = facts.length_seconds;
    if (options.format == Format::kJson) {
        result.text = json_line(facts) + '\n';
    } else if (result.ok) {
        result.text = block_text(facts);
    }
    if (!result.ok && notices_shown() == before) result.problem = status_problem(facts.status);
    return result;
}

}  // namespace

int run_analyse_command(const std::vector<std::string>& args) {
    const AnalyseOptions options = parse_analyse_options(args);
    switch (options.action) {
        case Action::kHelp: print_help(); return kExitOk;
        case Action::kVersion: print_version(); return kExitOk;
        case Action::kUsageError: return usage_error(options.error);
        case Action::kRun: break;
    }

    // The progress line shows the total, which takes a walk of its own; the
    // files are then analysed as the walk finds them, so that memory stays
    // the same however many there are.
    const bool show_progress = options.recursive && platform::stderr_is_terminal();
    std::size_t total = 0;
    if (show_progress) walk_files(options.files, options.recursive, [&total](const WalkItem&) { ++total; });
    Progress progress(total, show_progress);
    install_notice_handler({});
    set_before_notice([&progress] { progress.clear(); });

    const bool with_path = options.files.size() > 1 || options.recursive;
    bool any_block = false;
    bool all_ok = true;
    walk_files(options.files, options.recursive, [&](const WalkItem& item) {
        FileOutput output;
        if (item.problem.empty()) {
            output = analyse_one(options, item.path, with_path);
        } else {
            output.problem = item.problem;
            if (options.format == Format::kJson) {
                FileFacts failed;
                failed.path = item.path;
                failed.status = kStatusOpenFailed;
                output.text = json_line(failed, item.problem) + '\n';
            }
        }
        progress.clear();
        if (!output.problem.empty()) {
            std::fprintf(stderr, "velkor: %s: %s\n", printable(bytes_to_utf8(item.path)).c_str(),
                         output.problem.c_str());
        }
        if (!output.text.empty()) {
            // Readable blocks are set apart by an empty line.
            if (options.format == Format::kBlock && any_block) std::fputc('\n', stdout);
            any_block = true;
            std::fputs(output.text.c_str(), stdout);
            std::fflush(stdout);
        }
        all_ok = all_ok && output.ok;
        progress.file_done(output.ok, output.length_seconds);
    });
    if (options.recursive) progress.print_summary();
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace velkor::cli
