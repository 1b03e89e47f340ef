// The modal notice: the answer a notice gets when nobody is asked. Showing
// it is each platform's (notice_windows.cpp: MessageBoxA; notice_posix.cpp:
// a replaceable handler).
#include "platform/notice.h"

namespace velkor::platform {

int32_t default_answer(uint32_t style) {
    return (style & 0xF) == kButtonsYesNo ? kAnswerNo : kAnswerOk;
}

}  // namespace velkor::platform
