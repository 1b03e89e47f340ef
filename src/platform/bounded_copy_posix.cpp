// The bounded string copy on POSIX systems: our own loop, as lstrcpynA
// copies on Windows.
#include "platform/bounded_copy.h"

#include <cstring>

namespace velkor {

char* bounded_copy(char* dest, const char* src, int32_t n) {
    if (dest == nullptr || n <= 0) return dest;
    const std::size_t length = src ? strnlen(src, static_cast<std::size_t>(n) - 1) : 0;
    if (length > 0) std::memmove(dest, src, length);  // src may be NULL when length is 0
    dest[length] = '\0';
    return dest;
}

}  // namespace velkor
