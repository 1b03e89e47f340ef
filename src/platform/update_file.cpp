// Updating a regular file in place: positioned system calls on a file
// descriptor on POSIX systems, so that each write is one call the kernel
// does whole or not at all; the Windows runtime's stream calls there.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/update_file.h"

#include <cerrno>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>

#include "platform/wide_text.h"
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#endif

namespace velkor::platform {

bool UpdateFile::failed() {
    problem_ = problem_of_errno(errno);
    if (problem_ == FileProblem::kNone) problem_ = FileProblem::kOther;
    return false;
}

bool UpdateFile::failed(FileProblem problem) {
    problem_ = problem;
    return false;
}

#if defined(_WIN32)

namespace {

std::FILE* open_for_update(const std::string& path, bool utf8) {
    if (utf8) {
        std::wstring wide;
        if (!utf8_to_wide(path.c_str(), wide)) {
            errno = ENOENT;
            return nullptr;
        }
        return _wfopen(wide.c_str(), L"r+b");
    }
    return std::fopen(path.c_str(), "r+b");
}

bool is_disk_file(std::FILE* file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
}

}  // namespace

UpdateFile::UpdateFile(const std::string& path, bool utf8) {
    errno = 0;
    file_ = open_for_update(path, utf8);
    if (!file_) {
        failed();
        return;
    }
    if (!is_disk_file(file_)) {
        close();
        failed(FileProblem::kNotRegular);
        return;
    }
    // Unbuffered, so that a failed write shows at once and nothing is left
    // for fclose to write after the file was cut back.
    std::setvbuf(file_, nullptr, _IONBF, 0);
}

bool UpdateFile::is_open() const { return file_ != nullptr; }

bool UpdateFile::close() {
    if (!file_) return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed || failed();
}

int64_t UpdateFile::size() {
    errno = 0;
    const int64_t size = file_ && _fseeki64(file_, 0, SEEK_END) == 0 ? _ftelli64(file_) : -1;
    if (size < 0) failed();
    return size;
}

bool UpdateFile::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    errno = 0;
    return (file_ && _fseeki64(file_, offset, SEEK_SET) == 0 && std::fread(dest, 1, count, file_) == count) ||
           failed();
}

bool UpdateFile::prepare(int64_t, int64_t) { return file_ != nullptr || failed(FileProblem::kOther); }

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count) {
    errno = 0;
    return (file_ && _fseeki64(file_, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, count, file_) == count &&
            std::fflush(file_) == 0 && _commit(_fileno(file_)) == 0) ||
           failed();
}

bool UpdateFile::resize(int64_t size) {
    errno = 0;
    return (file_ && _chsize_s(_fileno(file_), size) == 0) || failed();
}

#else

UpdateFile::UpdateFile(const std::string& path, bool) {
    // O_NONBLOCK: opening a FIFO must not wait for its other end.
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        failed();
        return;
    }
    struct stat info;
    if (fstat(fd_, &info) != 0) {
        failed();
        close();
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        close();
        failed(FileProblem::kNotRegular);
        return;
    }
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
}

bool UpdateFile::is_open() const { return fd_ >= 0; }

bool UpdateFile::close() {
    if (fd_ < 0) return true;
    errno = 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed || failed();
}

int64_t UpdateFile::size() {
    struct stat info;
    errno = 0;
    if (fd_ < 0 || fstat(fd_, &info) != 0) {
        failed();
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

bool UpdateFile::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (fd_ >= 0 && offset >= 0 && done < count) {
        errno = 0;
        const ssize_t got = pread(fd_, dest + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return failed();
        done += static_cast<std::size_t>(got);
    }
    return done == count || failed(FileProblem::kOther);
}

bool UpdateFile::prepare(int64_t size, int64_t end) {
    if (fd_ < 0 || size < 0 || end < size) return failed(FileProblem::kOther);
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<uint64_t>(end) > static_cast<uint64_t>(limit.rlim_cur)) {
        return failed(FileProblem::kNoSpace);
    }
#if defined(__linux__)
    // FALLOC_FL_KEEP_SIZE: the room is taken, the size stays, so that a
    // process killed now leaves the file as it was. posix_fallocate would
    // grow the file, and so is not used. A file system without the call
    // goes on unreserved.
    if (end > size) {
        int reserved;
        do {
            errno = 0;
            reserved = fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size), static_cast<off_t>(end - size));
        } while (reserved != 0 && errno == EINTR);
        if (reserved != 0 && errno != EOPNOTSUPP && errno != ENOSYS) return failed();
    }
#endif
    return true;
}

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count) {
    if (fd_ < 0 || offset < 0) return failed(FileProblem::kOther);
    // A write that meets the file size limit raises SIGXFSZ, which ends the
    // process by default: blocked for the write, and a signal it raised
    // taken, so that the limit is a status (EFBIG). A caller that blocks
    // the signal itself keeps its own.
    sigset_t size_signal, kept;
    sigemptyset(&size_signal);
    sigaddset(&size_signal, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &size_signal, &kept);
    ssize_t wrote;
    do {
        errno = 0;
        wrote = pwrite(fd_, bytes, count, static_cast<off_t>(offset));
    } while (wrote < 0 && errno == EINTR);
    const int error = errno;
#if !defined(__APPLE__)
    sigset_t pending;
    if (!sigismember(&kept, SIGXFSZ) && sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ)) {
        const struct timespec none = {0, 0};
        sigtimedwait(&size_signal, nullptr, &none);
    }
#endif
    pthread_sigmask(SIG_SETMASK, &kept, nullptr);
    errno = error;
    if (wrote < 0) return failed();
    // A regular file's write stops short only at a size or space limit.
    if (static_cast<std::size_t>(wrote) != count) return failed(FileProblem::kNoSpace);
#if defined(__APPLE__)
    if (fsync(fd_) != 0) return failed();
#else
    if (fdatasync(fd_) != 0) return failed();
#endif
    return true;
}

bool UpdateFile::resize(int64_t size) {
    int cut;
    do {
        errno = 0;
        cut = fd_ >= 0 && size >= 0 ? ftruncate(fd_, static_cast<off_t>(size)) : -1;
    } while (cut != 0 && errno == EINTR);
    return cut == 0 || failed();
}

#endif

}  // namespace velkor::platform
