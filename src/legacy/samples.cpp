// The interoperability samples: how integers, strings and records cross the
// library boundary. They share no state with anything else.
#include <cstdint>
#include <cstring>

#include "platform/bounded_copy.h"
#include "platform/notice.h"
#include "velkor_analysis.h"

namespace {

constexpr char kFillText[] = "Hello from the C DLL!";
constexpr uint32_t kFillLength = sizeof(kFillText) - 1;
constexpr char kRecordText[] = "kvzt4821";
constexpr uint32_t kInfoStyle = velkor::platform::kIconInformation | velkor::platform::kButtonsOk;

}  // namespace

extern "C" {

// Arithmetic wraps modulo 2^32: done in unsigned, where overflow is defined.
VELKOR_API int32_t VELKOR_CALL AddNums(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

VELKOR_API int32_t VELKOR_CALL SubtractNums(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

VELKOR_API int32_t VELKOR_CALL MultiplyNums(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

VELKOR_API int32_t VELKOR_CALL CompareNums(int32_t a, int32_t b) { return a > b ? a : b; }

VELKOR_API void VELKOR_CALL FillString(char* buffer, uint32_t size) {
    // The zero byte must fit too: a capacity of exactly 21 gets nothing.
    if (buffer == nullptr || size <= kFillLength) return;
    std::memcpy(buffer, kFillText, sizeof(kFillText));
}

VELKOR_API int32_t VELKOR_CALL InStrRev(const char* text, int32_t ch) {
    if (text == nullptr) return 0;
    const char wanted = static_cast<char>(ch & 0xFF);
    // The terminating zero takes part, so a wanted zero byte finds it.
    const std::size_t length = std::strlen(text);
    for (std::size_t i = length + 1; i > 0; --i) {
        if (text[i - 1] == wanted) return static_cast<int32_t>(i);
    }
    return 0;
}

VELKOR_API int32_t VELKOR_CALL DisplayStringByVal(const char* text) {
    return velkor::platform::show_notice(text, "Display String ByVal", kInfoStyle);
}

VELKOR_API int32_t VELKOR_CALL DisplayStringByRef(const char** ref) {
    return velkor::platform::show_notice(ref ? *ref : nullptr, "Display String ByRef",
                                         kInfoStyle);
}

VELKOR_API void VELKOR_CALL MyStructProc(velkor_sample_record* record) {
    if (record == nullptr) return;
    velkor::bounded_copy(record->first, kRecordText);
    velkor::bounded_copy(record->second, kRecordText);
}

}  // extern "C"
