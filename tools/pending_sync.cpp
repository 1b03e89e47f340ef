// Syncing the file systems of files saved in place.
#include "pending_sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkor::cli {

PendingSync::~PendingSync() {
    for (const auto& held : by_device_) close(held.second);
}

void PendingSync::watch(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) close(fd);
        unknown_ = true;
        return;
    }
    if (!by_device_.emplace(static_cast<uint64_t>(info.st_dev), fd).second) close(fd);
}

bool PendingSync::flush(std::string& problem) {
    bool ok = true;
    for (const auto& held : by_device_) {
#if defined(__linux__)
        // syncfs reports a write-back error of the file system since the
        // descriptor was opened, whichever file it concerned.
        if (syncfs(held.second) != 0) {
            problem = std::strerror(errno);
            ok = false;
        }
#else
        unknown_ = true;
#endif
        close(held.second);
    }
    if (unknown_) sync();
    by_device_.clear();
    unknown_ = false;
    return ok;
}

}  // namespace velkor::cli
