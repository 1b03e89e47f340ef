// A notice handler for tests: records every notice and answers as told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/notice.h"

namespace velkor::testing {

struct RecordedNotice {
    std::string text;
    std::string caption;
    uint32_t style;
};

// Installs itself for its lifetime and restores the default handler after.
class NoticeRecorder {
public:
    explicit NoticeRecorder(int32_t answer = platform::kAnswerOk) : answer_(answer) {
        platform::set_notice_handler(&NoticeRecorder::record, this);
    }
    ~NoticeRecorder() { platform::set_notice_handler(nullptr); }
    NoticeRecorder(const NoticeRecorder&) = delete;
    NoticeRecorder& operator=(const NoticeRecorder&) = delete;

    const std::vector<RecordedNotice>& notices() const { return notices_; }

private:
    static int32_t record(const char* text, const char* caption, uint32_t style, void* self) {
        auto* recorder = static_cast<NoticeRecorder*>(self);
        recorder->notices_.push_back({text, caption, style});
        return recorder->answer_;
    }

    int32_t answer_;
    std::vector<RecordedNotice> notices_;
};

}  // namespace velkor::testing
