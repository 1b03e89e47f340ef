// The bounded string copy on Windows: the system's own lstrcpynA, which
// the analysis exports' callers know.
#include "platform/bounded_copy.h"

#include <windows.h>

namespace velkor {

char* bounded_copy(char* dest, const char* src, int32_t n) {
    if (dest == nullptr || n <= 0) return dest;
    return lstrcpynA(dest, src ? src : "", n);
}

}  // namespace velkor
