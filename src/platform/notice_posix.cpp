// The modal notice on POSIX systems: a replaceable handler, by default one
// line on stderr.
#include <cstdio>
#include <mutex>

#include "platform/notice.h"

namespace velkor::platform {

namespace {

int32_t write_to_stderr(const char* text, const char* caption, uint32_t style, void*) {
    // One line: the caption, then the text with its line breaks flattened.
    std::fputs(caption, stderr);
    std::fputs(": ", stderr);
    for (const char* p = text; *p; ++p) std::fputc(*p == '\n' ? ' ' : *p, stderr);
    std::fputc('\n', stderr);
    return default_answer(style);
}

std::mutex handler_mutex;
NoticeHandler current_handler = write_to_stderr;
void* current_context = nullptr;

}  // namespace

int32_t show_notice(const char* text, const char* caption, uint32_t style) {
    NoticeHandler handler;
    void* context;
    {
        std::lock_guard<std::mutex> lock(handler_mutex);
        handler = current_handler;
        context = current_context;
    }
    return handler(text ? text : "", caption ? caption : "", style, context);
}

NoticeHandler set_notice_handler(NoticeHandler handler, void* context) {
    std::lock_guard<std::mutex> lock(handler_mutex);
    NoticeHandler previous = current_handler == write_to_stderr ? nullptr : current_handler;
    current_handler = handler ? handler : write_to_stderr;
    current_context = handler ? context : nullptr;
    return previous;
}

}  // namespace velkor::platform
