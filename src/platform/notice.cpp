// The modal notice: MessageBoxA on Windows, a replaceable handler elsewhere.
#include "platform/notice.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdio>
#include <mutex>
#endif

namespace velkor::platform {

int32_t default_answer(uint32_t style) {
    return (style & 0xF) == kButtonsYesNo ? kAnswerNo : kAnswerOk;
}

#if defined(_WIN32)

int32_t show_notice(const char* text, const char* caption, uint32_t style) {
    return MessageBoxA(nullptr, text ? text : "", caption ? caption : "", style);
}

NoticeHandler set_notice_handler(NoticeHandler, void*) { return nullptr; }

#else

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

#endif

}  // namespace velkor::platform
