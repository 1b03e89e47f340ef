// Directory listing: opendir and readdir (the entry types come with the
// listing, so a walk needs no stat per file), or FindFirstFileW on Windows.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // large directories and files on 32-bit systems too
#endif

#include "platform/directory_listing.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>

#include <string>

#include "platform/wide_text.h"
#else
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#endif

namespace velkor::platform {

namespace {

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void add(DirectoryListing& listing, const char* name, EntryType type) {
    const std::size_t length = std::strlen(name) + 1;
    const std::size_t at = listing.names.size();
    listing.names.resize(at + length);
    std::memcpy(listing.names.data() + at, name, length);
    listing.entries.push_back({at, type});
}

#if !defined(_WIN32)
EntryType listed_type(unsigned char type) {
    switch (type) {
        case DT_DIR: return EntryType::kDirectory;
        case DT_REG: return EntryType::kRegular;
        case DT_LNK: return EntryType::kSymlink;
        case DT_UNKNOWN: return EntryType::kUnknown;
        default: return EntryType::kOther;
    }
}
#endif

}  // namespace

#if defined(_WIN32)

FileProblem list_directory(const char* path, DirectoryListing& listing) {
    listing.names.clear();
    listing.entries.clear();
    std::wstring pattern;
    if (!utf8_to_wide(path, pattern)) return FileProblem::kNotFound;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return FileProblem::kNone;  // an empty drive
        return problem_of_system_error(error);
    }
    try {
        do {
            const std::string name = wide_to_utf8(found.cFileName);
            if (is_dot_or_dot_dot(name.c_str())) continue;
            const DWORD attributes = found.dwFileAttributes;
            // Junctions and directory links are not walked, like links elsewhere.
            const EntryType type = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::kSymlink
                                   : (attributes & FILE_ATTRIBUTE_DIRECTORY)  ? EntryType::kDirectory
                                                                              : EntryType::kRegular;
            add(listing, name.c_str(), type);
        } while (FindNextFileW(find, &found));
    } catch (...) {
        FindClose(find);  // out of memory: the folder is not left open
        throw;
    }
    FindClose(find);
    return FileProblem::kNone;
}

EntryType file_type(const char* path, bool follow_link) {
    std::wstring wide;
    if (!utf8_to_wide(path, wide)) return EntryType::kOther;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryType::kOther;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !follow_link) return EntryType::kSymlink;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::kDirectory : EntryType::kRegular;
}

bool folder_id(const char* path, FolderId& id) {
    std::wstring wide;
    if (!utf8_to_wide(path, wide)) return false;
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder; no access right is asked.
    const HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool got = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!got) return false;
    id.device = info.dwVolumeSerialNumber;
    id.number = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

#else

FileProblem list_directory(const char* path, DirectoryListing& listing) {
    listing.names.clear();
    listing.entries.clear();
    DIR* dir = opendir(path);
    if (dir == nullptr) return problem_of_errno(errno);
    int error = 0;
    try {
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir);
            if (entry == nullptr) {
                error = errno;
                break;
            }
            if (!is_dot_or_dot_dot(entry->d_name)) add(listing, entry->d_name, listed_type(entry->d_type));
        }
    } catch (...) {
        closedir(dir);  // out of memory: the folder is not left open
        throw;
    }
    closedir(dir);
    return problem_of_errno(error);
}

EntryType file_type(const char* path, bool follow_link) {
    struct stat info;
    if ((follow_link ? stat(path, &info) : lstat(path, &info)) != 0) return EntryType::kOther;
    if (S_ISDIR(info.st_mode)) return EntryType::kDirectory;
    if (S_ISREG(info.st_mode)) return EntryType::kRegular;
    if (S_ISLNK(info.st_mode)) return EntryType::kSymlink;
    return EntryType::kOther;
}

bool folder_id(const char* path, FolderId& id) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    id.device = static_cast<uint64_t>(info.st_dev);
    id.number = static_cast<uint64_t>(info.st_ino);
    return true;
}

#endif

}  // namespace velkor::platform
