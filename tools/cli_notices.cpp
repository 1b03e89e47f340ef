// The command's notice handler.
#include "cli_notices.h"

#include <cstdio>
#include <string>

#include "platform/notice.h"
#include "text_encoding.h"

namespace velkor::cli {

namespace {

QuestionPolicy policy;
int shown = 0;
std::function<void()> before_notice;

// The notice texts are laid out for a message box; on one line each run of
// line breaks becomes a single space.
std::string one_line(const char* text) {
    std::string flat;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            if (!flat.empty() && flat.back() != ' ') flat += ' ';
        } else {
            flat += *p;
        }
    }
    return printable(latin1_to_utf8(flat));
}

bool read_yes() {
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return false;
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    return *p == 'y' || *p == 'Y';
}

int32_t handle(const char* text, const char* caption, uint32_t style, void*) {
    ++shown;
    if (before_notice) before_notice();
    std::string line = "velkor: ";
    if (*caption) line += printable(bytes_to_utf8(caption)) + ": ";
    line += one_line(text);

    const bool question = (style & 0xF) == platform::kButtonsYesNo;
    if (!question) {
        std::fprintf(stderr, "%s\n", line.c_str());
        return platform::kAnswerOk;
    }
    bool yes;
    if (policy.assume_yes) {
        std::fprintf(stderr, "%s yes (--yes)\n", line.c_str());
        yes = true;
    } else if (policy.interactive) {
        std::fprintf(stderr, "%s [y/N] ", line.c_str());
        std::fflush(stderr);
        yes = read_yes();
    } else {
        std::fprintf(stderr, "%s no (not a terminal; --yes answers yes)\n", line.c_str());
        yes = false;
    }
    return yes ? platform::kAnswerYes : platform::kAnswerNo;
}

}  // namespace

void install_notice_handler(const QuestionPolicy& question_policy) {
    policy = question_policy;
    platform::set_notice_handler(&handle);
}

void set_before_notice(std::function<void()> hook) { before_notice = std::move(hook); }

int notices_shown() { return shown; }

}  // namespace velkor::cli
