// Directory listing on Windows: FindFirstFileW, the names turned into UTF-8.
#include "platform/directory_listing.h"

#include <windows.h>

#include <string>

#include "platform/wide_text.h"

namespace velkor::platform {

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
            const DWORD attributes = found.dwFileAttributes;
            // Junctions and directory links are not walked, like links elsewhere.
            const EntryType type = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::kSymlink
                                   : (attributes & FILE_ATTRIBUTE_DIRECTORY)  ? EntryType::kDirectory
                                                                              : EntryType::kRegular;
            listing.add(name.c_str(), type);
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

}  // namespace velkor::platform
