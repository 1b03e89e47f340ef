// velkor_set_notice_handler: lets a host application take over the library's
// notices. Built for every system but Windows, where notices are real
// message boxes.
#include <type_traits>

#include "platform/notice.h"
#include "velkor_analysis.h"

// The C callback type is the platform layer's own, so it is passed through
// unchanged; this keeps the two from drifting apart.
static_assert(std::is_same_v<velkor_notice_handler, velkor::platform::NoticeHandler>,
              "velkor_notice_handler must match the platform notice handler");
static_assert(VELKOR_NOTICE_BUTTONS_OK == velkor::platform::kButtonsOk &&
                  VELKOR_NOTICE_BUTTONS_YESNO == velkor::platform::kButtonsYesNo &&
                  VELKOR_NOTICE_ICON_QUESTION == velkor::platform::kIconQuestion &&
                  VELKOR_NOTICE_ICON_WARNING == velkor::platform::kIconWarning &&
                  VELKOR_NOTICE_ICON_INFORMATION == velkor::platform::kIconInformation &&
                  VELKOR_NOTICE_SYSTEM_MODAL == velkor::platform::kSystemModal,
              "notice styles must match the platform's");
static_assert(VELKOR_ANSWER_OK == velkor::platform::kAnswerOk &&
                  VELKOR_ANSWER_YES == velkor::platform::kAnswerYes &&
                  VELKOR_ANSWER_NO == velkor::platform::kAnswerNo,
              "notice answers must match the platform's");

extern "C" VELKOR_API void VELKOR_CALL velkor_set_notice_handler(velkor_notice_handler handler, void* context) {
    velkor::platform::set_notice_handler(handler, context);
}
