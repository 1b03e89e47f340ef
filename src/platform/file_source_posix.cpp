// Positioned reads from a regular file on POSIX systems: open, fstat and
// pread; the identity of the file opened.
#if !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velkor::platform {

bool facts_of_open_file(intptr_t native, FileFacts& facts) {
    struct stat info;
    if (fstat(static_cast<int>(native), &info) != 0) return false;
    facts = FileFacts();
    facts.regular = S_ISREG(info.st_mode);
    facts.links = static_cast<uint64_t>(info.st_nlink);
    facts.mode = static_cast<uint32_t>(info.st_mode & 07777);
    facts.owner = static_cast<uint32_t>(info.st_uid);
    facts.group = static_cast<uint32_t>(info.st_gid);
    facts.identity.size = static_cast<int64_t>(info.st_size);
#if defined(__APPLE__)
    facts.identity.modified_seconds = static_cast<int64_t>(info.st_mtimespec.tv_sec);
    facts.identity.modified_nanoseconds = static_cast<int64_t>(info.st_mtimespec.tv_nsec);
    facts.identity.changed_seconds = static_cast<int64_t>(info.st_ctimespec.tv_sec);
    facts.identity.changed_nanoseconds = static_cast<int64_t>(info.st_ctimespec.tv_nsec);
    facts.accessed_seconds = static_cast<int64_t>(info.st_atimespec.tv_sec);
    facts.accessed_nanoseconds = static_cast<int64_t>(info.st_atimespec.tv_nsec);
#else
    facts.identity.modified_seconds = static_cast<int64_t>(info.st_mtim.tv_sec);
    facts.identity.modified_nanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
    facts.identity.changed_seconds = static_cast<int64_t>(info.st_ctim.tv_sec);
    facts.identity.changed_nanoseconds = static_cast<int64_t>(info.st_ctim.tv_nsec);
    facts.accessed_seconds = static_cast<int64_t>(info.st_atim.tv_sec);
    facts.accessed_nanoseconds = static_cast<int64_t>(info.st_atim.tv_nsec);
#endif
    facts.identity.device = static_cast<uint64_t>(info.st_dev);
    facts.identity.number = static_cast<uint64_t>(info.st_ino);
    return true;
}

FileProblem FileSource::open(const char* path) {
    close();
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const FileProblem problem = problem_of_errno(errno);
        return problem == FileProblem::kNone ? FileProblem::kOther : problem;
    }
    return take(fd);
}

FileProblem FileSource::take(intptr_t native) {
    native_ = native;
    FileFacts facts;
    if (!facts_of_open_file(native, facts)) {
        close();
        return FileProblem::kOther;
    }
    if (!facts.regular) {
        close();
        return FileProblem::kNotRegular;
    }
    size_ = facts.identity.size;
    identity_ = facts.identity;
    return FileProblem::kNone;
}

FileProblem FileSource::open_utf8(const char* path) { return open(path); }

// Only the Windows wide entry points give a wide name.
FileProblem FileSource::open_given(const std::string& path, const std::wstring&) { return open(path.c_str()); }

void FileSource::close() {
    if (native_ >= 0) ::close(static_cast<int>(native_));
    native_ = -1;
    apart_ = false;
    size_ = 0;
    identity_ = FileIdentity();
    read_failed_ = false;
}

void FileSource::will_read(int64_t offset, std::size_t n) {
#if defined(POSIX_FADV_WILLNEED)  // not on every system (macOS): then the reads come as they come
    if (native_ >= 0 && offset >= 0) {
        posix_fadvise(static_cast<int>(native_), static_cast<off_t>(offset), static_cast<off_t>(n), POSIX_FADV_WILLNEED);
    }
#else
    (void)offset;
    (void)n;
#endif
}

void FileSource::reads_apart(bool apart) {
#if defined(POSIX_FADV_RANDOM)
    if (native_ >= 0 && posix_fadvise(static_cast<int>(native_), 0, 0, apart ? POSIX_FADV_RANDOM : POSIX_FADV_NORMAL) == 0) {
        apart_ = apart;
    }
#else
    (void)apart;
#endif
}

std::size_t FileSource::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (native_ >= 0 && done < count) {
        const ssize_t got = pread(static_cast<int>(native_), dest + done, count - done,
                                  static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
        ++thread_counter().reads;
        if (apart_) ++thread_counter().reads_apart;
    }
    note_shortfall(offset, count, done);
    thread_counter().bytes += done;
    return done;
}

}  // namespace velkor::platform
