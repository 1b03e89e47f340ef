// Writes to stdout with their failures noticed.
#include "standard_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli_options.h"
#include "signals.h"

namespace velkor::cli {

namespace {

enum class State { kOk, kFailed, kReaderGone };
State state = State::kOk;

// Takes note of a failed write with error (errno, 0 when the C library set
// none); tells it unless the reader has gone, who would not read it.
bool failed(int error) {
    if (state != State::kOk) return false;
    if (error == EPIPE) {
        state = State::kReaderGone;
        return false;
    }
    state = State::kFailed;
    std::fprintf(stderr, "velkor: standard output: %s\n", error != 0 ? std::strerror(error) : "write error");
    return false;
}

}  // namespace

bool write_stdout(std::string_view text) {
    if (state != State::kOk) return false;
    errno = 0;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) return failed(errno);
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failed(errno);
    return true;
}

bool stdout_failed() { return state != State::kOk; }

int finish_stdout(int status) {
    write_stdout({});
    // A file system may report a failed write only when the file is closed.
    errno = 0;
    if (std::fclose(stdout) != 0) failed(errno);
    if (state == State::kReaderGone) end_by_signal(SIGPIPE);
    return state == State::kFailed && status == kExitOk ? kExitFailed : status;
}

}  // namespace velkor::cli
