// Updating a regular file in place, and making the new file a rewrite
// fills: positioned system calls on a file descriptor on POSIX systems, so
// that each write is one call the kernel does whole or not at all; the
// Windows runtime's stream calls there.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/update_file.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
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

namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 20;

}  // namespace

// The copy through the process: 1 MiB at a time, whatever the range.
bool UpdateFile::copy_blocks(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    std::vector<uint8_t> block(static_cast<std::size_t>(std::min<int64_t>(count, kCopyBlock)));
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(count, kCopyBlock));
        if (!source.read_at(from, block.data(), n)) return failed(source.problem());
        if (!write_at(to, block.data(), n, false)) return false;
        from += static_cast<int64_t>(n);
        to += static_cast<int64_t>(n);
        count -= static_cast<int64_t>(n);
    }
    return true;
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

UpdateFile::UpdateFile(const std::string& path, MakeNew) {
    std::wstring wide;
    if (!utf8_to_wide(path.c_str(), wide)) {
        failed(FileProblem::kNotFound);
        return;
    }
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const FileProblem problem = problem_of_system_error(GetLastError());
        failed(problem == FileProblem::kNone ? FileProblem::kOther : problem);
        return;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    file_ = fd < 0 ? nullptr : _fdopen(fd, "r+b");
    if (!file_) {
        if (fd < 0) {
            CloseHandle(handle);
        } else {
            _close(fd);
        }
        failed(FileProblem::kOther);
        return;
    }
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

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count, bool sync) {
    errno = 0;
    return (file_ && _fseeki64(file_, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, count, file_) == count &&
            std::fflush(file_) == 0 && (!sync || _commit(_fileno(file_)) == 0)) ||
           failed();
}

bool UpdateFile::copy_from(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    return copy_blocks(source, from, count, to);
}

bool UpdateFile::resize(int64_t size) {
    errno = 0;
    return (file_ && _chsize_s(_fileno(file_), size) == 0) || failed();
}

bool UpdateFile::sync() {
    errno = 0;
    return (file_ && std::fflush(file_) == 0 && _commit(_fileno(file_)) == 0) || failed();
}

bool UpdateFile::facts(FileFacts& facts) {
    return (file_ && facts_of_open_file(_get_osfhandle(_fileno(file_)), facts)) || failed(FileProblem::kOther);
}

// The replacement takes the folder's permissions, as any new file there.
bool UpdateFile::take_mode_and_owner(const FileFacts&) { return file_ != nullptr || failed(FileProblem::kOther); }

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

UpdateFile::UpdateFile(const std::string& path, MakeNew) {
    // O_EXCL: an existing name, a symbolic link included, is never opened.
    do {
        errno = 0;
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) failed();
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

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count, bool sync) {
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
    if (!sync) return true;
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

bool UpdateFile::copy_from(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    if (fd_ < 0 || source.fd_ < 0 || from < 0 || to < 0 || count < 0) return failed(FileProblem::kOther);
#if defined(__linux__)
    while (count > 0) {
        off_t in = static_cast<off_t>(from), out = static_cast<off_t>(to);
        errno = 0;
        const ssize_t copied = copy_file_range(source.fd_, &in, fd_, &out,
                                               static_cast<std::size_t>(std::min<int64_t>(count, 1 << 30)), 0);
        if (copied < 0 && errno == EINTR) continue;
        // Not between these file systems, or not on this kernel: the
        // copy goes on through the process.
        if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) break;
        if (copied < 0) return failed();
        if (copied == 0) return failed(FileProblem::kOther);  // the source ends early
        from += copied;
        to += copied;
        count -= copied;
    }
#endif
    return copy_blocks(source, from, count, to);
}

bool UpdateFile::sync() {
    int synced;
    do {
        errno = 0;
        synced = fd_ >= 0 ? fsync(fd_) : -1;
    } while (synced != 0 && errno == EINTR);
    return synced == 0 || failed();
}

bool UpdateFile::facts(FileFacts& facts) {
    errno = 0;
    return (fd_ >= 0 && facts_of_open_file(fd_, facts)) || failed();
}

bool UpdateFile::take_mode_and_owner(const FileFacts& like) {
    FileFacts own;
    if (!facts(own)) return false;
    // The owner first: a change of owner clears the set-user-ID bits the
    // mode then gives back.
    if ((own.owner != like.owner || own.group != like.group) &&
        fchown(fd_, static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0) {
        return failed(FileProblem::kNotPermitted);
    }
    return fchmod(fd_, static_cast<mode_t>(like.mode)) == 0 || failed();
}

#endif

}  // namespace velkor::platform
