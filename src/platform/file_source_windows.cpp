// Positioned reads from a regular file on Windows: the Windows file API,
// paths in UTF-8 or UTF-16; the identity of the file opened.
#include "platform/file_source.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/wide_text.h"

namespace velkor::platform {

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
    return take(reinterpret_cast<intptr_t>(handle));
}

FileProblem FileSource::open_utf8(const char* path) {
    std::wstring wide;
    if (!utf8_to_wide(path, wide)) return FileProblem::kNotFound;
    return open_wide(wide.c_str());
}

FileProblem FileSource::open_given(const std::string& path, const std::wstring& wide) {
    return wide.empty() ? open_utf8(path.c_str()) : open_wide(wide.c_str());
}

FileProblem FileSource::open_wide(const wchar_t* path) {
    close();
    HANDLE handle = CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return open_failure();
    return take(reinterpret_cast<intptr_t>(handle));
}

FileProblem FileSource::take(intptr_t native) {
    native_ = native;

    FileFacts facts;
    if (!facts_of_open_file(native, facts) || !facts.regular) {
        close();
        return FileProblem::kNotRegular;
    }
    size_ = facts.identity.size;
    identity_ = facts.identity;
    return FileProblem::kNone;
}

void FileSource::close() {
    if (native_ != -1) CloseHandle(reinterpret_cast<HANDLE>(native_));
    native_ = -1;
    size_ = 0;
    identity_ = FileIdentity();
    read_failed_ = false;
}

void FileSource::will_read(int64_t, std::size_t) {}  // no such hint: the reads come as they come
void FileSource::reads_apart(bool) {}

std::size_t FileSource::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::size_t done = 0;
    while (native_ != -1 && done < count) {
        const DWORD chunk = count - done > 0x40000000u ? 0x40000000u
                                                       : static_cast<DWORD>(count - done);
        const uint64_t at = static_cast<uint64_t>(offset) + done;
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(native_), dest + done, chunk, &got, &where) || got == 0) {
            break;
        }
        done += got;
        ++thread_counter().reads;
    }
    note_shortfall(offset, count, done);
    thread_counter().bytes += done;
    return done;
}

}  // namespace velkor::platform
