// Whether a person is at the other end of the standard streams: decides if
// a command may ask a question and wait for the answer.
#pragma once

namespace velkor::platform {

// True when standard input is a terminal.
bool stdin_is_terminal();

}  // namespace velkor::platform
