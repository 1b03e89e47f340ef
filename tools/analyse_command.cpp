// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "json_output.h"
#include "progress.h"
#include "signals.h"
#include "standard_output.h"
#include "terminal.h"
#include "text_encoding.h"
#include "text_output.h"
#include "usage.h"

namespace velkor::cli {

namespace {

// What one file gives: the text for stdout and, when it failed, why, for
// stderr. It is made from the file's path alone, so files can be analysed
// apart from the writing of their outputs, which keeps their order. One
// output is reused from file to file, keeping its room.
struct FileOutput {
    TextBuffer text;
    std::string problem;
    bool ok = false;
    int64_t length_ms = 0;  // the playing time, toward the summary

    void clear() {
        text.clear();
        problem.clear();
        ok = false;
        length_ms = 0;
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

// What kind of entry a walk passed over, for -v.
const char* skipped_kind(const char* path, bool follow_links) {
    struct stat entry, target;
    if (lstat(path, &entry) != 0) return "gone";
    const bool link = S_ISLNK(entry.st_mode);
    if (link && stat(path, &target) != 0) return "a broken link";
    const mode_t mode = link ? target.st_mode : entry.st_mode;
    if (S_ISDIR(mode)) {
        return link && !follow_links ? "a link to a folder (-L follows it)" : "a loop: a folder the walk is in already";
    }
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

// "-" (standard input) and pipes named on the command line: read once by
// the library, which keeps the tags and counts the frames as they pass.
bool is_stream(const std::string& operand) {
    struct stat info;
    return operand == "-" || (stat(operand.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
}

// The stream being read and why it failed, if it did.
struct StreamReader {
    int fd = -1;
    int error = 0;
};

int32_t VELKOR_CALL read_stream(void* context, void* buffer, int32_t size) {
    auto& stream = *static_cast<StreamReader*>(context);
    for (;;) {
        const ssize_t got = ::read(stream.fd, buffer, static_cast<std::size_t>(size));
        if (got >= 0) return static_cast<int32_t>(got);
        if (errno == EINTR && !interrupted()) continue;
        stream.error = errno;
        return -1;
    }
}

// One result of the scan in the chosen format into output: the scan's
// analysis (`file`, which output takes over), or, for --report and
// --record, the exports' own. stream: the file was read from a stream.
void file_output(const AnalyseOptions& options, const char* path, velkor_file* file, int32_t status,
                 bool with_path, FileOutput& output, bool stream = false) {
    output.clear();
    // A file without audio has a handle when it has tags: they are shown,
    // and the file still counts as failed.
    AnalysedFile analysed;
    if (file != nullptr) {
        analysed.adopt(file, status == VELKOR_OK);
        file = nullptr;
        // Frames are read from the file again when first asked for: a file
        // that cannot be read then has failed, rather than shown without them.
        const int32_t frames = analysed.read_frames();
        if (frames != VELKOR_OK) status = frames;
    }
    const bool tags_only = status == VELKOR_ERROR_NO_AUDIO && analysed.is_open();
    if (tags_only) {
        if (analysed.has_tags() && options.format != Format::kReport && options.format != Format::kRecord) {
            output.problem = stream ? velkor_status_text(status) : not_mpeg_audio(path);
            if (options.format == Format::kJson) {
                append_json_line(output.text, path, analysed);
            } else if (options.format == Format::kBrief) {
                append_brief(output.text, path, analysed, options.brief_format);
            } else {
                append_block(output.text, path, analysed, options.all);
            }
            return;
        }
    }
    if (status != VELKOR_OK) {
        // Another format's file says which ("a FLAC file, not MPEG audio").
        std::string format;
        output.problem = status == VELKOR_ERROR_NOT_REGULAR && !options.recursive && is_directory(path)
                             ? "is a directory (-r walks it)"
                         : status == VELKOR_ERROR_NO_AUDIO && !stream ? not_mpeg_audio(path, &format)
                                                                      : velkor_status_text(status);
        if (options.format == Format::kJson) {
            append_json_failure(output.text, path, json_status_name(status),
                                status == VELKOR_ERROR_NO_AUDIO ? output.problem : velkor_status_text(status), format);
        }
        return;
    }
    if ((options.format == Format::kReport || options.format == Format::kRecord) && stream) {
        output.problem = "--report and --record read files by their names, not streams";
        return;
    }
    if (options.format == Format::kReport || options.format == Format::kRecord) {
        const ExportOutput result = options.format == Format::kReport ? report_output(path, with_path)
                                                                      : record_output(path);
        output.text += result.text;
        output.ok = result.ok;
        output.length_ms = result.length_seconds * 1000;
        if (!result.ok) export_failure(path, output);
        return;
    }
    output.ok = true;
    output.length_ms = analysed.facts().duration_ms;
    if (options.format == Format::kJson) {
        if (const int32_t json = append_json_line(output.text, path, analysed); json != VELKOR_OK) {
            output.ok = false;
            output.problem = velkor_status_text(json);
        }
    } else if (options.format == Format::kBrief) {
        append_brief(output.text, path, analysed, options.brief_format);
    } else {
        append_block(output.text, path, analysed, options.all);
    }
}

// --save-cover: the front cover (else the first picture) of the one file
// into a new file; one that exists is replaced only with --force.
int save_cover(const AnalyseOptions& options) {
    const std::string& path = options.files.front();
    const auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "velkor: %s: %s\n", printable(path).c_str(), why.c_str());
        return kExitFailed;
    };
    AnalysedFile file;
    const int32_t status = file.open(path.c_str(), VELKOR_OPEN_WITHOUT_AUDIO);
    if (!file.is_open()) return fail(status == VELKOR_ERROR_NO_AUDIO ? not_mpeg_audio(path.c_str()) : velkor_status_text(status));
    const int32_t count = file.facts().picture_count;
    if (count <= 0) return fail("has no picture to save");
    int32_t index = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (file.picture(i).type == 3) {
            index = i;
            break;
        }
    }
    const velkor_picture_info picture = file.picture(index);
    std::string data(static_cast<std::size_t>(std::max(picture.bytes, 0)), '\0');
    if (const int32_t read = file.read_picture(index, data.data(), picture.bytes);
        read != VELKOR_OK) {
        return fail(std::string("the picture cannot be read: ") + velkor_status_text(read));
    }
    // "x": the file is made here, never an existing one written over.
    std::FILE* out = std::fopen(options.save_cover.c_str(), options.force ? "wb" : "wbx");
    if (out == nullptr) {
        const int error = errno;
        const std::string why = error == EEXIST ? "exists (--force replaces it)" : std::strerror(error);
        std::fprintf(stderr, "velkor: %s: %s; no picture saved\n", printable(options.save_cover).c_str(), why.c_str());
        return kExitFailed;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "velkor: %s: the picture could not be written\n", printable(options.save_cover).c_str());
        return kExitFailed;
    }
    write_stdout(printable(path) + ": " + picture_type_name(picture.type) + " (" +
                 std::string(file.picture_text(index, VELKOR_PICTURE_MIME)) + ", " +
                 std::to_string(data.size()) + " bytes) saved to " + printable(options.save_cover) + "\n");
    return kExitOk;
}

// A stream's output: read and analysed as it passes.
void stream_output(const AnalyseOptions& options, const std::string& operand, bool with_path, FileOutput& output) {
    StreamReader stream;
    // A FIFO is opened blocking: its writer may come later.
    stream.fd = operand == "-" ? STDIN_FILENO : open(operand.c_str(), O_RDONLY | O_CLOEXEC);
    if (stream.fd < 0) {
        const int error = errno;
        output.clear();
        output.problem = std::strerror(error);
        if (options.format == Format::kJson) {
            append_json_failure(output.text, operand, error == EACCES ? "not_permitted" : "read", output.problem);
        }
        return;
    }
    velkor_file* file = nullptr;
    const int32_t status = velkor_open_stream(read_stream, &stream, VELKOR_OPEN_WITHOUT_AUDIO, &file);
    if (stream.fd != STDIN_FILENO) close(stream.fd);
    file_output(options, operand.c_str(), file, status, with_path, output, true);
    if (stream.error != 0) output.problem = std::strerror(stream.error);
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

// The number of files a walk finds, counted on a thread of its own beside
// the analysis: the progress line shows it once the count is done, and the
// first results need not wait for it.
class FileCount {
public:
    FileCount(const std::vector<std::string>& operands, uint32_t options)
        : thread_([this, operands, options] { count(operands, options); }) {}
    ~FileCount() {
        stop_ = true;
        thread_.join();
    }
    FileCount(const FileCount&) = delete;
    FileCount& operator=(const FileCount&) = delete;

    std::optional<std::size_t> total() const {
        if (!done_) return std::nullopt;
        return total_;
    }

private:
    void count(const std::vector<std::string>& operands, uint32_t options) {
        Scan walk(operands, VELKOR_SCAN_RECURSIVE | VELKOR_SCAN_PATHS_ONLY | options, 1);
        const char* path;
        velkor_file* file;
        int32_t status;
        std::size_t n = 0;
        while (!stop_ && walk.next(path, file, status)) ++n;
        total_ = n;
        done_ = !stop_;
    }

    std::atomic<bool> stop_{false}, done_{false};
    std::size_t total_ = 0;  // read once done_ is seen set
    std::thread thread_;     // last: it starts with the members above made
};

uint32_t scan_options(const AnalyseOptions& options) {
    // What a walk passes over is counted, and named with -v.
    uint32_t scan = options.recursive ? VELKOR_SCAN_RECURSIVE | VELKOR_SCAN_REPORT_SKIPPED : 0;
    if (options.follow_links) scan |= VELKOR_SCAN_FOLLOW_LINKS;
    if (options.format == Format::kReport || options.format == Format::kRecord) return scan | VELKOR_SCAN_PATHS_ONLY;
    // Each file's JSON is written on the scan's threads, beside its analysis.
    if (options.format == Format::kJson) scan |= VELKOR_SCAN_JSON;
    return scan | VELKOR_OPEN_WITHOUT_AUDIO | (options.exact ? VELKOR_OPEN_COUNT_FRAMES : 0);
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
    if (!options.save_cover.empty()) return save_cover(options);

    const bool show_progress = options.recursive && stderr_is_terminal();
    Progress progress(show_progress, stdout_and_stderr_share_terminal());
    StdoutWriter out(stdout_is_terminal());
    silence_export_notices();
    catch_interrupt();

    // The total for the progress line, counted beside the analysis.
    std::optional<FileCount> count;
    if (show_progress) count.emplace(options.files, options.follow_links ? VELKOR_SCAN_FOLLOW_LINKS : 0u);
    // Whatever is held goes out, below the progress line when they share a
    // terminal.
    const auto write_held = [&] { return out.flush(progress); };

    const bool with_path = options.files.size() > 1 || options.recursive;
    bool any_block = false;
    bool all_ok = true;
    bool written = true;
    FileOutput output;
    // One file's output in its place; false when the output is lost, which
    // ends the walk at once: the output is lost, or its reader has gone.
    const auto put = [&](const char* path) {
        if (!output.problem.empty()) {
            // The output before it first, for when both streams go to one file.
            if (!write_held()) return false;
            progress.print_message(printable(path) + ": " + output.problem);
        }
        if (!output.text.empty()) {
            // Readable blocks are set apart by an empty line.
            if (options.format == Format::kBlock && any_block) out.buffer() += '\n';
            any_block = true;
            out.buffer() += output.text.view();
        }
        if (out.due() && !write_held()) return false;
        all_ok = all_ok && output.ok;
        if (count) {
            if (const auto total = count->total()) progress.set_total(*total);
        }
        progress.file_done(output.ok, output.length_ms, path);
        return true;
    };

    // The operands in runs: the files and folders of a run go to one scan,
    // which analyses several files at once, the walk beside them, and hands
    // the results out in order; a stream between runs is read here.
    int32_t scan_failure = VELKOR_OK;
    for (std::size_t first = 0; written && !interrupted() && first < options.files.size();) {
        if (is_stream(options.files[first])) {
            stream_output(options, options.files[first], with_path, output);
            written = put(options.files[first].c_str());
            ++first;
            continue;
        }
        std::size_t end = first;
        while (end < options.files.size() && !is_stream(options.files[end])) ++end;
        const std::vector<std::string> run(options.files.begin() + static_cast<std::ptrdiff_t>(first),
                                           options.files.begin() + static_cast<std::ptrdiff_t>(end));
        first = end;
        Scan scan(run, scan_options(options), options.jobs);
        if (scan.status() != VELKOR_OK) {
            std::fprintf(stderr, "velkor: %s\n", velkor_status_text(scan.status()));
            return kExitFailed;
        }
        const char* path;
        velkor_file* file;
        int32_t status;
        while (written && !interrupted() && scan.next(path, file, status)) {
            if (status == VELKOR_SKIPPED) {
                if (options.all) {
                    if (!write_held()) break;
                    progress.print_message(printable(path) + ": skipped, " + skipped_kind(path, options.follow_links));
                }
                progress.file_skipped();
                continue;
            }
            file_output(options, path, file, status, with_path, output);
            written = put(path);
        }
        if (scan.failure() != VELKOR_OK) {
            scan_failure = scan.failure();
            break;
        }
    }
    count.reset();
    if (!written || !write_held()) return kExitFailed;
    if (scan_failure != VELKOR_OK) {
        // The files after the failure were never reached: the run is not whole.
        progress.print_message(std::string("the scan stopped: ") + velkor_status_text(scan_failure));
        all_ok = false;
    }
    // Ctrl-C too gives the summary of the files done so far.
    if (options.recursive) progress.print_summary(interrupted());
    if (interrupted()) return kExitInterrupted;
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace velkor::cli
