// VkSetNoticeHandler: lets a host application take over the library's
// notices. Not built for Windows, where the DLL keeps its fixed export list
// and notices are real message boxes.
#if !defined(_WIN32)
#include <type_traits>

#include "platform/notice.h"
#include "velkor.h"

// The C callback type is the platform layer's own, so it is passed through
// unchanged; this keeps the two from drifting apart.
static_assert(std::is_same_v<VkNoticeHandler, velkor::platform::NoticeHandler>,
              "VkNoticeHandler must match the platform notice handler");
static_assert(VK_NOTICE_BUTTONS_OK == velkor::platform::kButtonsOk &&
                  VK_NOTICE_BUTTONS_YESNO == velkor::platform::kButtonsYesNo &&
                  VK_NOTICE_ICON_QUESTION == velkor::platform::kIconQuestion &&
                  VK_NOTICE_ICON_WARNING == velkor::platform::kIconWarning &&
                  VK_NOTICE_ICON_INFORMATION == velkor::platform::kIconInformation &&
                  VK_NOTICE_SYSTEM_MODAL == velkor::platform::kSystemModal,
              "notice styles must match the platform's");
static_assert(VK_ANSWER_OK == velkor::platform::kAnswerOk &&
                  VK_ANSWER_YES == velkor::platform::kAnswerYes &&
                  VK_ANSWER_NO == velkor::platform::kAnswerNo,
              "notice answers must match the platform's");

extern "C" VK_API void VK_CALL VkSetNoticeHandler(VkNoticeHandler handler, void* context) {
    velkor::platform::set_notice_handler(handler, context);
}

#endif
