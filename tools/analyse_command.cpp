// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
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
    output.problem = status == VELKOR_OK ? "cannot be analysed" : velkor_status_text(status);
}

bool is_directory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// One result of the scan in the chosen format into output: the scan's
// analysis (`file`, which output takes over), or, for --report and
// --record, the exports' own.
void file_output(const AnalyseOptions& options, const char* path, velkor_file* file, int32_t status,
                 bool with_path, FileOutput& output) {
    output.clear();
    if (status != VELKOR_OK) {
        output.problem = status == VELKOR_ERROR_NOT_REGULAR && !options.recursive && is_directory(path)
                             ? "is a directory (-r walks it)"
                             : velkor_status_text(status);
        if (options.format == Format::kJson) append_json_failure(output.text, path, json_status(status), output.problem);
        return;
    }
    if (options.format == Format::kReport || options.format == Format::kRecord) {
        const ExportOutput result = options.format == Format::kReport ? report_output(path, with_path)
                                                                      : record_output(path);
        output.text += result.text;
        output.ok = result.ok;
        output.length_seconds = result.length_seconds;
        if (!result.ok) export_failure(path, output);
        return;
    }
    AnalysedFile analysed;
    analysed.adopt(file);
    output.ok = true;
    output.length_seconds = analysed.facts().duration_ms / 1000;
    if (options.format == Format::kJson) {
        append_json_line(output.text, path, analysed);
    } else {
        append_block(output.text, path, analysed);
    }
}

// The library's scan of the operands, released at the end.
class Scan {
public:
    Scan(const std::vector<std::string>& operands, uint32_t options, int jobs) {
        std::vector<const char*> paths;
        for (const std::string& operand : operands) paths.push_back(operand.c_str());
        status_ = velkor_scan_open(paths.data(), static_cast<int32_t>(paths.size()), options, jobs, &scan_);
    }
    ~Scan() { velkor_scan_close(scan_); }
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;

    int32_t status() const { return status_; }
    // The next result; false at the end, and when the scan failed, with
    // failure() saying why.
    bool next(const char*& path, velkor_file*& file, int32_t& status) {
        if (scan_ == nullptr || failure_ != VELKOR_OK) return false;
        const int32_t result = velkor_scan_next(scan_, &path, &file, &status);
        if (result < 0) failure_ = status;
        return result == 1;
    }
    int32_t failure() const { return failure_; }

private:
    velkor_scan* scan_ = nullptr;
    int32_t status_;
    int32_t failure_ = VELKOR_OK;
};

uint32_t scan_options(const AnalyseOptions& options) {
    uint32_t scan = options.recursive ? VELKOR_SCAN_RECURSIVE : 0;
    if (options.format == Format::kReport || options.format == Format::kRecord) return scan | VELKOR_SCAN_PATHS_ONLY;
    return scan | (options.exact ? VELKOR_OPEN_COUNT_FRAMES : 0);
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

    // The progress line shows the total, which takes a walk of its own.
    const bool show_progress = options.recursive && stderr_is_terminal();
    std::size_t total = 0;
    const char* path;
    velkor_file* file;
    int32_t status;
    if (show_progress) {
        Scan count(options.files, VELKOR_SCAN_RECURSIVE | VELKOR_SCAN_PATHS_ONLY, 1);
        while (count.next(path, file, status)) ++total;
    }
    Progress progress(total, show_progress);
    StdoutWriter out(stdout_is_terminal());
    silence_export_notices();

    // The library analyses several files at once, the walk beside them,
    // and hands the results out in order.
    Scan scan(options.files, scan_options(options), options.jobs);
    if (scan.status() != VELKOR_OK) {
        std::fprintf(stderr, "velkor: %s\n", velkor_status_text(scan.status()));
        return kExitFailed;
    }
    const bool with_path = options.files.size() > 1 || options.recursive;
    bool any_block = false;
    bool all_ok = true;
    FileOutput output;
    while (scan.next(path, file, status)) {
        file_output(options, path, file, status, with_path, output);
        if (!output.problem.empty()) {
            out.flush();
            progress.clear();
            std::fprintf(stderr, "velkor: %s: %s\n", printable(path).c_str(), output.problem.c_str());
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
    }
    out.flush();
    if (scan.failure() != VELKOR_OK) {
        // The files after the failure were never reached: the run is not whole.
        progress.clear();
        std::fprintf(stderr, "velkor: the scan stopped: %s\n", velkor_status_text(scan.failure()));
        all_ok = false;
    }
    if (options.recursive) progress.print_summary();
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace velkor::cli
