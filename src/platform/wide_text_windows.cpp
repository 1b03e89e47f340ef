// Conversions between UTF-8 and UTF-16 with the system's own functions.
#include "platform/wide_text.h"

#include <windows.h>

namespace velkor::platform {

bool utf8_to_wide(const char* text, std::wstring& wide) {
    wide.clear();
    if (text == nullptr) return false;
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (needed <= 0) return false;
    wide.resize(static_cast<std::size_t>(needed));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], needed);
    wide.resize(static_cast<std::size_t>(needed - 1));
    return true;
}

std::string wide_to_utf8(const wchar_t* text) {
    std::string utf8;
    if (text == nullptr) return utf8;
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return utf8;
    utf8.resize(static_cast<std::size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], needed, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(needed - 1));
    return utf8;
}

}  // namespace velkor::platform
