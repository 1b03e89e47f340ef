// The bounded string copy: lstrcpynA on Windows, our own loop elsewhere.
#include "base/bounded_copy.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstring>
#endif

namespace velkor {

char* bounded_copy(char* dest, const char* src, int32_t n) {
    if (dest == nullptr || n <= 0) return dest;
#if defined(_WIN32)
    return lstrcpynA(dest, src ? src : "", n);
#else
    const std::size_t length = src ? strnlen(src, static_cast<std::size_t>(n) - 1) : 0;
    if (length > 0) std::memmove(dest, src, length);  // src may be NULL when length is 0
    dest[length] = '\0';
    return dest;
#endif
}

}  // namespace velkor
