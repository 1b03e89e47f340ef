// Terminal detection for the standard streams.
#include "terminal.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velkor::cli {

bool stdin_is_terminal() {
#if defined(_WIN32)
    return _isatty(0) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

bool stdout_is_terminal() {
#if defined(_WIN32)
    return _isatty(1) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

bool stderr_is_terminal() {
#if defined(_WIN32)
    return _isatty(2) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

#if !defined(_WIN32)
bool stdout_and_stderr_share_terminal() {
    struct stat out, err;
    return stdout_is_terminal() && stderr_is_terminal() && fstat(STDOUT_FILENO, &out) == 0 &&
           fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

int stderr_columns() {
    struct winsize size {};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}
#endif

}  // namespace velkor::cli
