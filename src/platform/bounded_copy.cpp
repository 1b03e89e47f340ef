// The bounded string copy: lstrcpynA on Windows, our own loop elsewhere.
#include "platform/bounded_copy.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace velkor::platform {

char* bounded_copy(char* dest, const char* src, int32_t n) {
    if (dest == nullptr || n <= 0) return dest;
#if defined(_WIN32)
    return lstrcpynA(dest, src ? src : "", n);
#else
    int32_t i = 0;
    if (src != nullptr) {
        for (; i < n - 1 && src[i] != '\0'; ++i) dest[i] = src[i];
    }
    dest[i] = '\0';
    return dest;
#endif
}

}  // namespace velkor::platform
