// Bounded reads of small input files through POSIX calls.
#include "small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkor::cli {

namespace {

constexpr std::size_t kFirst = 16;

// Up to n bytes at the end of `bytes`; false on a read error.
bool read_more(int fd, std::string& bytes, std::size_t n) {
    const std::size_t had = bytes.size();
    bytes.resize(had + n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = read(fd, &bytes[had + got], n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    bytes.resize(had + got);
    return true;
}

}  // namespace

SmallFile read_small_file(const std::string& path, std::size_t limit,
                          const std::function<bool(const std::string&)>& accept, std::string& bytes,
                          std::string& problem) {
    bytes.clear();
    // O_NONBLOCK: a FIFO without a writer must not hang the open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return kSmallFileFailed;
    }
    struct stat info {};
    SmallFile result = kSmallFileRead;
    if (fstat(fd, &info) != 0) {
        problem = std::strerror(errno);
        result = kSmallFileFailed;
    } else if (!S_ISREG(info.st_mode)) {
        result = kSmallFileNotRegular;
    } else if (static_cast<uint64_t>(info.st_size) > limit) {
        result = kSmallFileTooLarge;
    } else if (!read_more(fd, bytes, kFirst)) {
        problem = std::strerror(errno);
        result = kSmallFileFailed;
    } else if (!accept(bytes)) {
        result = kSmallFileRefused;
    } else if (!read_more(fd, bytes, limit + 1 - bytes.size())) {
        problem = std::strerror(errno);
        result = kSmallFileFailed;
    } else if (bytes.size() > limit) {
        // Grown since fstat.
        result = kSmallFileTooLarge;
    }
    close(fd);
    if (result != kSmallFileRead) bytes.clear();
    return result;
}

}  // namespace velkor::cli
