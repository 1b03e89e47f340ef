// Progress line and summary.
#include "progress.h"

#include <cstdio>

#include "terminal.h"
#include "text_encoding.h"
#include "velkor.h"

namespace velkor::cli {

namespace {

// Redrawing more often than this costs time and shows nothing new.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// Characters in UTF-8 text: every byte but a continuation byte starts one.
std::size_t characters(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The last `keep` characters of text.
std::string_view last_characters(std::string_view text, std::size_t keep) {
    std::size_t at = text.size();
    for (std::size_t kept = 0; at > 0 && kept < keep;) {
        --at;
        kept += (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
    }
    return text.substr(at);
}

}  // namespace

Progress::Progress(bool show_line, bool shares_stdout) : show_line_(show_line), shares_stdout_(shares_stdout) {}

void Progress::file_done(bool ok, int64_t length_ms, std::string_view path) {
    if (ok) {
        ++analysed_;
        if (length_ms > 0) ms_ += length_ms;
    } else {
        ++failed_;
    }
    if (!show_line_) return;
    const auto now = Clock::now();
    if (now - last_draw_ < kRedrawInterval) return;
    last_draw_ = now;
    const std::size_t slash = path.rfind('/');
    folder_ = slash == std::string_view::npos ? "." : slash == 0 ? "/" : printable(path.substr(0, slash));
    draw();
}

std::string Progress::line() const {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const std::size_t done = analysed_ + failed_;
    char head[96];
    if (total_) {
        std::snprintf(head, sizeof head, "velkor: %zu of %zu files, %.0f files/s", done, *total_,
                      elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0);
    } else {
        std::snprintf(head, sizeof head, "velkor: %zu files, %.0f files/s", done,
                      elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0);
    }
    // The line must not wrap, or "\r" would go back to its last row only:
    // the folder loses its start when the line is too long (a wide character
    // counts as one, so a little room is kept).
    const int columns = stderr_columns();
    const std::size_t width = columns > 2 ? static_cast<std::size_t>(columns - 2) : 0;
    std::string line = "\r";
    line += std::string_view(head).substr(0, width);  // ASCII: one byte a character
    const std::size_t used = characters(head) + 2;
    if (used + characters(folder_) <= width) {
        line += ", " + folder_;
    } else if (used + 4 < width) {
        line += ", ...";
        line += last_characters(folder_, width - used - 3);
    }
    // Drawn over the old line, then the rest of it cleared: the screen never
    // shows an empty line in between.
    line += "\033[K";
    return line;
}

// Each change to the screen is one write, which a terminal shows whole.
void Progress::draw() {
    const std::string text = line();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::erase() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void Progress::print_message(std::string_view message) {
    std::string text = drawn_ ? "\r\033[K" : "";
    text += "velkor: ";
    text += message;
    text += '\n';
    if (drawn_) text += line();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::string_view Progress::frame(std::string_view output) {
    if (!drawn_ || !shares_stdout_) return output;
    framed_ = "\r\033[K";
    framed_ += output;
    framed_ += line();
    return framed_;
}

void Progress::print_summary(bool stopped) {
    erase();
    show_line_ = false;
    char time[VELKOR_DURATION_TEXT_SIZE];
    velkor_duration_text((ms_ + 500) / 1000, time, sizeof time);  // the sum rounded, not a sum of rounded times
    const std::size_t files = analysed_ + failed_;
    char skipped[48] = "";
    if (skipped_ > 0) std::snprintf(skipped, sizeof skipped, ", %zu skipped", skipped_);
    std::fprintf(stderr, "velkor: %s%zu file%s: %zu analysed, %zu failed%s, total playing time %s\n",
                 stopped ? "interrupted, the walk stopped after " : "", files, files == 1 ? "" : "s", analysed_,
                 failed_, skipped, time);
}

}  // namespace velkor::cli
