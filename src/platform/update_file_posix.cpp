// Updating a regular file in place, and making the new file a rewrite
// fills, on POSIX systems: positioned system calls on a file descriptor, so
// that each write is one call the kernel does whole or not at all.
#if !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/update_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velkor::platform {

namespace {

// The descriptor an UpdateFile holds.
int fd(intptr_t native) { return static_cast<int>(native); }

}  // namespace

UpdateFile::UpdateFile(const std::string& path, bool) {
    // O_NONBLOCK: opening a FIFO must not wait for its other end.
    native_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (native_ < 0) {
        failed();
        return;
    }
    struct stat info;
    if (fstat(fd(native_), &info) != 0) {
        failed();
        close();
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        close();
        failed(FileProblem::kNotRegular);
        return;
    }
    const int flags = fcntl(fd(native_), F_GETFL);
    if (flags >= 0) fcntl(fd(native_), F_SETFL, flags & ~O_NONBLOCK);
}

UpdateFile::UpdateFile(const std::string& path, MakeNew) {
    // O_EXCL: an existing name, a symbolic link included, is never opened.
    do {
        errno = 0;
        native_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    } while (native_ < 0 && errno == EINTR);
    if (native_ < 0) failed();
}

bool UpdateFile::is_open() const { return native_ >= 0; }

bool UpdateFile::close() {
    if (native_ < 0) return true;
    errno = 0;
    const bool closed = ::close(fd(native_)) == 0;
    native_ = -1;
    return closed || failed();
}

int64_t UpdateFile::size() {
    struct stat info;
    errno = 0;
    if (native_ < 0 || fstat(fd(native_), &info) != 0) {
        failed();
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

bool UpdateFile::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (native_ >= 0 && offset >= 0 && done < count) {
        errno = 0;
        const ssize_t got = pread(fd(native_), dest + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return failed();
        done += static_cast<std::size_t>(got);
    }
    return done == count || failed(FileProblem::kOther);
}

bool UpdateFile::prepare(int64_t size, int64_t end) {
    if (native_ < 0 || size < 0 || end < size) return failed(FileProblem::kOther);
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
            reserved = fallocate(fd(native_), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size), static_cast<off_t>(end - size));
        } while (reserved != 0 && errno == EINTR);
        if (reserved != 0 && errno != EOPNOTSUPP && errno != ENOSYS) return failed();
    }
#endif
    return true;
}

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count, bool sync) {
    if (native_ < 0 || offset < 0) return failed(FileProblem::kOther);
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
        wrote = pwrite(fd(native_), bytes, count, static_cast<off_t>(offset));
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
    if (fsync(fd(native_)) != 0) return failed();
#else
    if (fdatasync(fd(native_)) != 0) return failed();
#endif
    return true;
}

bool UpdateFile::resize(int64_t size) {
    int cut;
    do {
        errno = 0;
        cut = native_ >= 0 && size >= 0 ? ftruncate(fd(native_), static_cast<off_t>(size)) : -1;
    } while (cut != 0 && errno == EINTR);
    return cut == 0 || failed();
}

bool UpdateFile::copy_from(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    if (native_ < 0 || fd(source.native_) < 0 || from < 0 || to < 0 || count < 0) return failed(FileProblem::kOther);
    const int64_t end = from + count;
    int64_t at = from;
    while (at < end) {
        // The next stretch of data; where the system cannot tell, the
        // rest is taken for data.
        off_t data = lseek(fd(source.native_), static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // only a hole is left
        if (data < 0) data = static_cast<off_t>(at);
        if (data >= end) break;
        off_t hole = lseek(fd(source.native_), data, SEEK_HOLE);
        if (hole < 0 || hole > end) hole = static_cast<off_t>(end);
        if (!copy_range(source, data, hole - data, to + (data - from))) return false;
        at = hole;
    }
    return true;
}

bool UpdateFile::copy_range(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
#if defined(__linux__)
    while (count > 0) {
        off_t in = static_cast<off_t>(from), out = static_cast<off_t>(to);
        errno = 0;
        const ssize_t copied = copy_file_range(fd(source.native_), &in, fd(native_), &out,
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
        synced = native_ >= 0 ? fsync(fd(native_)) : -1;
    } while (synced != 0 && errno == EINTR);
    return synced == 0 || failed();
}

bool UpdateFile::facts(FileFacts& facts) {
    errno = 0;
    return (native_ >= 0 && facts_of_open_file(fd(native_), facts)) || failed();
}

bool UpdateFile::lock() {
    int locked;
    do {
        errno = 0;
        locked = native_ >= 0 ? flock(fd(native_), LOCK_EX) : -1;
    } while (locked != 0 && errno == EINTR);
    return locked == 0 || failed();
}

intptr_t UpdateFile::release() {
    const intptr_t native = native_;
    native_ = -1;
    return native;
}

namespace {

// Attributes whose loss would let others read the file, or hide it from
// those who may: their copy must succeed.
bool must_keep(const char* name) {
    return std::strncmp(name, "system.", 7) == 0 || std::strncmp(name, "user.", 5) == 0;
}

}  // namespace

bool UpdateFile::take_attributes(UpdateFile& source) {
#if defined(__linux__)
    if (native_ < 0 || fd(source.native_) < 0) return failed(FileProblem::kOther);
    ssize_t length = flistxattr(fd(source.native_), nullptr, 0);
    if (length < 0) return errno == ENOTSUP || failed();
    std::vector<char> names(static_cast<std::size_t>(length) + 1);
    length = flistxattr(fd(source.native_), names.data(), names.size());
    if (length < 0) return failed();
    std::vector<char> value;
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        ssize_t size = fgetxattr(fd(source.native_), name, nullptr, 0);
        if (size >= 0) {
            value.resize(static_cast<std::size_t>(size) + 1);
            size = fgetxattr(fd(source.native_), name, value.data(), value.size());
        }
        if (size < 0 || fsetxattr(fd(native_), name, value.data(), static_cast<std::size_t>(size), 0) != 0) {
            if (must_keep(name)) return failed(FileProblem::kNotPermitted);
        }
    }
#else
    (void)source;
#endif
    return true;
}

bool UpdateFile::take_times(const FileFacts& like) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(like.accessed_seconds);
    times[0].tv_nsec = static_cast<long>(like.accessed_nanoseconds);
    times[1].tv_sec = static_cast<time_t>(like.identity.modified_seconds);
    times[1].tv_nsec = static_cast<long>(like.identity.modified_nanoseconds);
    return (native_ >= 0 && futimens(fd(native_), times) == 0) || failed();
}

FileProblem real_path(const std::string& path, std::string& real) {
    errno = 0;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        const FileProblem problem = problem_of_errno(errno);
        return problem == FileProblem::kNone ? FileProblem::kOther : problem;
    }
    real = resolved;
    std::free(resolved);
    return FileProblem::kNone;
}

bool remove_name(const std::string& path) { return unlink(path.c_str()) == 0; }

FileProblem rename_over(const std::string& temp, const std::string& path) {
    if (::rename(temp.c_str(), path.c_str()) == 0) return FileProblem::kNone;
    const FileProblem problem = problem_of_errno(errno);
    return problem == FileProblem::kNone ? FileProblem::kOther : problem;
}

std::size_t last_separator(const std::string& path) { return path.find_last_of('/'); }

// A failure here is not the save's: the name already holds the new file.
void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

namespace {

// A slot is free (0), being filled (1) or holds a name to remove (2).
constexpr int kSlots = 16;
std::atomic<int> slot_state[kSlots];
char slot_path[kSlots][4096];

}  // namespace

int note_temporary(const std::string& path) {
    if (path.size() >= sizeof slot_path[0]) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slot_state[i].compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slot_path[i], path.c_str(), path.size() + 1);
        slot_state[i].store(2);
        return i;
    }
    return -1;
}

void forget_temporary(int slot) {
    if (slot >= 0 && slot < kSlots) slot_state[slot].store(0);
}

void remove_temporaries() {
    for (int i = 0; i < kSlots; ++i) {
        if (slot_state[i].load() == 2) unlink(slot_path[i]);
    }
}

bool UpdateFile::take_mode_and_owner(const FileFacts& like) {
    FileFacts own;
    if (!facts(own)) return false;
    // The owner first: a change of owner clears the set-user-ID bits the
    // mode then gives back.
    if ((own.owner != like.owner || own.group != like.group) &&
        fchown(fd(native_), static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0) {
        return failed(FileProblem::kNotPermitted);
    }
    return fchmod(fd(native_), static_cast<mode_t>(like.mode)) == 0 || failed();
}

}  // namespace velkor::platform
