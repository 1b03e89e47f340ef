// Positioned reads from a regular file: POSIX open/fstat/pread, or the
// Windows file API; the identity of the file opened.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/file_source.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>

#include <string>

#include "platform/wide_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velkor::platform {

ByteSpan FileSource::bytes(int64_t offset, std::size_t n) {
    if (offset < 0 || offset >= size_) return ByteSpan();
    fetched_.resize(static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset)));
    fetched_.resize(read_at(offset, fetched_.data(), fetched_.size()));
    return ByteSpan(fetched_.data(), fetched_.size());
}

ReadCounter& FileSource::thread_counter() {
    static thread_local ReadCounter counter;
    return counter;
}

#if defined(_WIN32)

namespace {

FileProblem open_failure() {
    const FileProblem problem = problem_of_system_error(GetLastError());
    return problem == FileProblem::kNone ? FileProblem::kOther : problem;
}

// Other processes may go on reading, writing, renaming or deleting the
// file while we look at it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

bool facts_of_open_file(intptr_t native, FileFacts& facts) {
    const HANDLE handle = reinterpret_cast<HANDLE>(native);
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info) ||
        !GetFileSizeEx(handle, &size)) {
        return false;
    }
    facts = FileFacts();
    facts.regular = GetFileType(handle) == FILE_TYPE_DISK &&
                    (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    facts.links = info.nNumberOfLinks;
    facts.identity.size = size.QuadPart;
    facts.identity.modified_nanoseconds = static_cast<int64_t>(
        (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    facts.identity.changed_nanoseconds = static_cast<int64_t>(
        (static_cast<uint64_t>(info.ftCreationTime.dwHighDateTime) << 32) | info.ftCreationTime.dwLowDateTime);
    facts.identity.device = info.dwVolumeSerialNumber;
    facts.identity.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

FileProblem FileSource::open(const char* path) {
    close();
    HANDLE handle = CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return open_failure();
    return take(handle);
}

FileProblem FileSource::open_utf8(const char* path) {
    std::wstring wide;
    if (!utf8_to_wide(path, wide)) return FileProblem::kNotFound;
    return open_wide(wide.c_str());
}

FileProblem FileSource::open_wide(const wchar_t* path) {
    close();
    HANDLE handle = CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return open_failure();
    return take(handle);
}

FileProblem FileSource::take(void* opened) {
    HANDLE handle = static_cast<HANDLE>(opened);
    handle_ = handle;

    FileFacts facts;
    if (!facts_of_open_file(reinterpret_cast<intptr_t>(handle), facts) || !facts.regular) {
        close();
        return FileProblem::kNotRegular;
    }
    size_ = facts.identity.size;
    identity_ = facts.identity;
    return FileProblem::kNone;
}

void FileSource::close() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    size_ = 0;
    identity_ = FileIdentity();
    read_failed_ = false;
}

std::size_t FileSource::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (handle_ != nullptr && done < count) {
        const DWORD chunk = count - done > 0x40000000u ? 0x40000000u
                                                       : static_cast<DWORD>(count - done);
        const uint64_t at = static_cast<uint64_t>(offset) + done;
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle_), dest + done, chunk, &got, &where) || got == 0) {
            break;
        }
        done += got;
        ++thread_counter().reads;
    }
    note_shortfall(offset, count, done);
    thread_counter().bytes += done;
    return done;
}

#else

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
    fd_ = fd;
    FileFacts facts;
    if (!facts_of_open_file(fd, facts)) {
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

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    identity_ = FileIdentity();
    read_failed_ = false;
}

std::size_t FileSource::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t got = pread(fd_, dest + done, count - done,
                                  static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
        ++thread_counter().reads;
    }
    note_shortfall(offset, count, done);
    thread_counter().bytes += done;
    return done;
}

#endif

void FileSource::note_shortfall(int64_t offset, std::size_t asked, std::size_t got) {
    // Bytes the file had when opened and a read could not give: a read
    // error, or a file cut meanwhile. Either way what was read is not the file.
    if (got < asked && offset >= 0 && offset + static_cast<int64_t>(got) < size_) read_failed_ = true;
}

}  // namespace velkor::platform
