// The error notice for the loader's and the write-back's status codes.
#include "platform/notice.h"
#include "stream/mp3_file_info.h"

namespace velkor {

namespace {

const char* notice_text(int32_t code) {
    switch (code) {
        case kStatusOpenFailed:
            return "You tried to open a file\nthat didn't work";
        case kStatusNoFrame:
            return "The file that was opened\nwas no correct .mp3-file";
        default:
            return nullptr;
    }
}

}  // namespace

void show_error_notice(int32_t code, const char* caption) {
    if (const char* text = notice_text(code)) {
        platform::show_notice(text, caption, platform::kSystemModal);
    }
}

}  // namespace velkor
