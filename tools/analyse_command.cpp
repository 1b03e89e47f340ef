// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <cstdio>

#include "cli_notices.h"
#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "file_walk.h"
#include "json_output.h"
#include "terminal.h"
#include "progress.h"
#include "stream/mp3_file_info.h"
#include "text_encoding.h"
#include "text_output.h"
#include "usage.h"

namespace velkor::cli {

namespace {

// Output for stdout is held until there is a good deal of it, so that many
// files cost one write rather than one each; a person at a terminal sees
// each file's output at once. Whatever goes to stderr is preceded by what
// is held, so the two streams keep their order when they share a file.
class StdoutWriter {
public:
    explicit StdoutWriter(bool each_file) : each_file_(each_file) {}
    ~StdoutWriter() { flush(); }
    StdoutWriter(const StdoutWriter&) = delete;
    StdoutWriter& operator=(const StdoutWriter&) = delete;

    TextBuffer& buffer() { return buffer_; }
    // Whether the output held so far is to be written now, one file's
    // output having been added.
    bool due() const { return each_file_ || buffer_.size() >= kHeldBytes; }
    void flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.view().data(), 1, buffer_.size(), stdout);
        buffer_.clear();
        std::fflush(stdout);
    }

private:
    static constexpr std::size_t kHeldBytes = 64 * 1024;
    TextBuffer buffer_;
    bool each_file_;
};

struct FileOutput {
    std::string text;         // for stdout, in the formats other than JSON
    FileFacts facts;          // what JSON and the readable block are made from
    std::string problem;      // for stderr, when the library has not told it
    bool ok = false;
    int64_t length_seconds = 0;
};

// Analyses one file in the chosen format into a fresh output.
void analyse_one(const AnalyseOptions& options, const std::string& path, bool with_path,
                 FileAnalyser& analyser, FileOutput& result) {
    if (options.format == Format::kReport || options.format == Format::kRecord) {
        ExportOutput output = options.format == Format::kReport ? report_output(path, with_path)
                                                                : record_output(path);
        result.text = std::move(output.text);
        result.ok = output.ok;
        result.length_seconds = output.length_seconds;
        if (!output.ok && !output.notice_shown) result.problem = "could not be analysed";
        return;
    }
    const int before = notices_shown();
    analyser.analyse(path, result.facts);
    result.ok = result.facts.status == kStatusOk;
    result.length_seconds = result.facts.length_seconds;
    if (options.format == Format::kBlock && result.ok) result.text = block_text(result.facts);
    if (!result.ok && notices_shown() == before) result.problem = status_problem(result.facts.status);
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
    const bool show_progress = options.recursive && stderr_is_terminal();
    std::size_t total = 0;
    if (show_progress) walk_files(options.files, options.recursive, [&total](const WalkItem&) { ++total; });
    Progress progress(total, show_progress);
    StdoutWriter out(stdout_is_terminal());
    install_notice_handler({});
    set_before_notice([&progress, &out] {
        out.flush();
        progress.clear();
    });

    const bool with_path = options.files.size() > 1 || options.recursive;
    bool any_block = false;
    bool all_ok = true;
    FileAnalyser analyser;
    walk_files(options.files, options.recursive, [&](const WalkItem& item) {
        FileOutput output;
        if (item.problem.empty()) {
            analyse_one(options, item.path, with_path, analyser, output);
        } else {
            output.problem = item.problem;
            output.facts.path = item.path;
            output.facts.status = kStatusOpenFailed;
        }
        if (!output.problem.empty()) {
            out.flush();
            progress.clear();
            std::fprintf(stderr, "velkor: %s: %s\n", printable(bytes_to_utf8(item.path)).c_str(),
                         output.problem.c_str());
        }
        if (options.format == Format::kJson) {
            append_json_line(out.buffer(), output.facts, item.problem);
        } else if (!output.text.empty()) {
            // Readable blocks are set apart by an empty line.
            if (options.format == Format::kBlock && any_block) out.buffer() += '\n';
            any_block = true;
            out.buffer() += output.text;
        }
        if (out.due()) {
            progress.clear();
            out.flush();
        }
        all_ok = all_ok && output.ok;
        progress.file_done(output.ok, output.length_seconds);
    });
    out.flush();
    if (options.recursive) progress.print_summary();
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace velkor::cli
