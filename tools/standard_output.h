// Everything the command writes to standard output goes through here, so
// that no failed write goes unnoticed: a full disk or a closed file is told
// once on stderr ("velkor: standard output: No space left on device") and
// turns the exit status into 1; a reader that has gone (a closed pipe) ends
// the command quietly, as SIGPIPE does, whether SIGPIPE is ignored or not.
#pragma once

#include <cstddef>
#include <string_view>

#include "progress.h"
#include "../src/base/text_buffer.h"

namespace velkor::cli {

// Writes text to stdout and flushes it. False when this or an earlier write
// failed; then nothing more is written.
bool write_stdout(std::string_view text);

// Whether a write to stdout has failed.
bool stdout_failed();

// At exit: flushes and closes stdout. Returns status, or 1 when output was
// lost; ends the process by SIGPIPE when the reader went away.
int finish_stdout(int status);

// Output held until there is a good deal of it, so that many files cost one
// write rather than one each; a person at a terminal sees each file's
// output at once.
class StdoutWriter {
public:
    explicit StdoutWriter(bool each_file) : each_file_(each_file) {}

    TextBuffer& buffer() { return buffer_; }
    // Whether the output held so far is to be written now, one file's
    // output having been added.
    bool due() const { return each_file_ || buffer_.size() >= kHeldBytes; }
    // Writes what is held, framed by the progress line; false when a write
    // failed.
    bool flush(Progress& progress) {
        const bool written = write_stdout(progress.frame(buffer_.view()));
        buffer_.clear();
        return written;
    }

private:
    static constexpr std::size_t kHeldBytes = 64 * 1024;
    TextBuffer buffer_;
    bool each_file_;
};

}  // namespace velkor::cli
