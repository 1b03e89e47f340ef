// The thread's blocks read from a disk, as the system counts them.
#include "platform/disk_reads.h"

#include <sys/resource.h>

namespace velkor::platform {

bool read_from_disk_since_asked() {
#if defined(RUSAGE_THREAD)
    // Reads the page cache answers count no block.
    thread_local long last = 0;
    struct rusage usage {};
    if (getrusage(RUSAGE_THREAD, &usage) != 0) return true;
    const bool read = usage.ru_inblock != last;
    last = usage.ru_inblock;
    return read;
#else
    return true;
#endif
}

}  // namespace velkor::platform
