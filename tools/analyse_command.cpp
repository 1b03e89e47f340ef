// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <cstdio>
#include <string>

#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "file_walk.h"
#include "json_output.h"
#include "progress.h"
#include "terminal.h"
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

// What one file gives: the text for stdout and, when it failed, why, for
// stderr. It is made from the file's path alone, so files can be analysed
// apart from the writing of their outputs, which keeps their order. One
// output is reused from file to file, keeping its room.
struct FileOutput {
    TextBuffer text;
    std::string problem;
    bool ok = false;
    int64_t length_seconds = 0;

    void clear() {
        text.clear();
        problem.clear();
        ok = false;
        length_seconds = 0;
    }
};

// The exports say only that a file failed; the reason is the interface's.
void export_failure(const std::string& path, FileOutput& output) {
    AnalysedFile file;
    const int32_t status = file.open(path.c_str(), 0);
    output.problem = status == VK_OK ? "cannot be analysed" : VkStatusText(status);
}

// Analyses the file at path in the chosen format into output.
void analyse_file(const AnalyseOptions& options, const std::string& path, bool with_path,
                  FileOutput& output) {
    output.clear();
    if (options.format == Format::kReport || options.format == Format::kRecord) {
        const ExportOutput result = options.format == Format::kReport ? report_output(path, with_path)
                                                                      : record_output(path);
        output.text += result.text;
        output.ok = result.ok;
        output.length_seconds = result.length_seconds;
        if (!result.ok) export_failure(path, output);
        return;
    }
    AnalysedFile file;
    const int32_t status = file.open(path.c_str(), options.exact ? VK_OPEN_COUNT_FRAMES : 0);
    output.ok = status == VK_OK;
    if (!output.ok) {
        output.problem = VkStatusText(status);
        if (options.format == Format::kJson) {
            append_json_failure(output.text, path, json_status(status), output.problem);
        }
        return;
    }
    output.length_seconds = file.facts().duration_ms / 1000;
    if (options.format == Format::kJson) {
        append_json_line(output.text, path, file);
    } else {
        append_block(output.text, path, file);
    }
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
    silence_export_notices();

    const bool with_path = options.files.size() > 1 || options.recursive;
    bool any_block = false;
    bool all_ok = true;
    FileOutput output;
    walk_files(options.files, options.recursive, [&](const WalkItem& item) {
        if (item.problem.empty()) {
            analyse_file(options, item.path, with_path, output);
        } else {
            output.clear();
            output.problem = item.problem;
            if (options.format == Format::kJson) append_json_failure(output.text, item.path, 2, item.problem);
        }
        if (!output.problem.empty()) {
            out.flush();
            progress.clear();
            std::fprintf(stderr, "velkor: %s: %s\n", printable(item.path).c_str(), output.problem.c_str());
        }
        if (!output.text.empty()) {
            // Readable blocks are set apart by an empty line.
            if (options.format == Format::kBlock && any_block) out.buffer() += '\n';
            any_block = true;
            out.buffer() += output.text.view();
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
