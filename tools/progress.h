// The progress line and the closing summary of a directory walk, on stderr.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::cli {

class Progress {
public:
    // show_line: draw the progress line (stderr is a terminal);
    // shares_stdout: stdout writes to the same terminal.
    Progress(bool show_line, bool shares_stdout);

    // The number of files in all, once known.
    void set_total(std::size_t total) { total_ = total; }
    // One more file done, path the file's; length_ms counts toward the
    // total playing time when it succeeded. Redraws the line at most ten
    // times a second.
    void file_done(bool ok, int64_t length_ms, std::string_view path);
    // One entry the walk passed over (a link not followed, a FIFO, ...).
    void file_skipped() { ++skipped_; }
    // Prints "velkor: message" on stderr above the line.
    void print_message(std::string_view message);
    // output as it is to be written to stdout: when stdout shows on the
    // terminal of the line, behind a code that takes the line off and
    // followed by the line again. The view lasts until the next call.
    std::string_view frame(std::string_view output);
    // "velkor: N files: A analysed, F failed, S skipped, total playing time
    // T" (the skipped only when there are any), the line taken off for good.
    // stopped: Ctrl-C ended the walk before its end.
    void print_summary(bool stopped = false);

private:
    // "\r", the line, and a code that clears the rest of the old one.
    std::string line() const;
    void draw();
    void erase();

    using Clock = std::chrono::steady_clock;
    bool show_line_;
    bool shares_stdout_;
    bool drawn_ = false;
    std::optional<std::size_t> total_;
    std::size_t analysed_ = 0, failed_ = 0, skipped_ = 0;
    int64_t ms_ = 0;
    std::string folder_;  // of the file last done
    std::string framed_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_draw_{};
};

}  // namespace velkor::cli
