// Progress line and summary.
#include "progress.h"

#include <cstdio>

#include "../src/base/duration_text.h"

namespace velkor::cli {

namespace {

// Redrawing more often than this costs time and shows nothing new.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

Progress::Progress(std::size_t total, bool show_line) : total_(total), show_line_(show_line) {}

void Progress::clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void Progress::file_done(bool ok, int64_t length_seconds) {
    if (ok) {
        ++analysed_;
        if (length_seconds > 0) seconds_ += length_seconds;
    } else {
        ++failed_;
    }
    if (!show_line_) return;
    const auto now = Clock::now();
    if (now - last_draw_ >= kRedrawInterval) {
        last_draw_ = now;
        draw();
    }
}

void Progress::draw() {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const std::size_t done = analysed_ + failed_;
    std::fprintf(stderr, "\r\033[Kvelkor: %zu/%zu files, %.0f files/s", done, total_,
                 elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::print_summary() {
    clear();
    char time[kDurationTextSize];
    duration_text(seconds_, time);
    std::fprintf(stderr, "velkor: %zu files: %zu analysed, %zu failed, total playing time %s\n",
                 analysed_ + failed_, analysed_, failed_, time);
}

}  // namespace velkor::cli
