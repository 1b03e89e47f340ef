// The progress line and the closing summary of a directory walk, on stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstddef>

namespace velkor::cli {

class Progress {
public:
    // show_line: draw the progress line (stderr is a terminal).
    Progress(std::size_t total, bool show_line);

    // Takes the line off the terminal before other output is written.
    void clear();
    // One more file done; length_seconds counts toward the total playing
    // time when it succeeded.
    void file_done(bool ok, int64_t length_seconds);
    // "velkor: N files: A analysed, F failed, total playing time T".
    void print_summary();

private:
    void draw();

    using Clock = std::chrono::steady_clock;
    std::size_t total_;
    bool show_line_;
    bool drawn_ = false;
    std::size_t analysed_ = 0, failed_ = 0;
    int64_t seconds_ = 0;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_draw_{};
};

}  // namespace velkor::cli
