// The modal notice on Windows: MessageBoxA.
#include <windows.h>

#include "platform/notice.h"

namespace velkor::platform {

int32_t show_notice(const char* text, const char* caption, uint32_t style) {
    return MessageBoxA(nullptr, text ? text : "", caption ? caption : "", style);
}

NoticeHandler set_notice_handler(NoticeHandler, void*) { return nullptr; }

}  // namespace velkor::platform
