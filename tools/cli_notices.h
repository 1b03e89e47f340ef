// How the library's notices reach the person at the command line: one line
// on stderr, "velkor: <caption>: <text>", and Yes/No questions asked on the
// terminal or answered by --yes.
#pragma once

#include <functional>

namespace velkor::cli {

struct QuestionPolicy {
    bool assume_yes = false;   // --yes: every question is answered Yes unasked
    bool interactive = false;  // stdin is a terminal: ask there
};

// Replaces the library's default notice handler for the rest of the run.
void install_notice_handler(const QuestionPolicy& policy);

// Called before a notice is written, so that a progress line can make room.
void set_before_notice(std::function<void()> hook);

// Notices shown since the start of the run; lets a caller tell whether a
// failure has already been reported to the person.
int notices_shown();

}  // namespace velkor::cli
