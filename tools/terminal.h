// Whether a person is at the other end of the standard streams: decides if
// a command may ask a question and wait for the answer, show progress, or
// must show each result at once.
#pragma once

namespace velkor::cli {

// True when standard input is a terminal.
bool stdin_is_terminal();

// True when standard output is a terminal.
bool stdout_is_terminal();

// True when standard error is a terminal.
bool stderr_is_terminal();

// True when standard output and standard error are one terminal: what is
// written to one shows on the same screen as the other.
bool stdout_and_stderr_share_terminal();

// The width of the terminal on standard error, 80 when it tells none.
int stderr_columns();

}  // namespace velkor::cli
