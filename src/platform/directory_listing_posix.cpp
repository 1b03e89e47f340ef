// Directory listing on POSIX systems: opendir and readdir (the entry types
// come with the listing, so a walk needs no stat per file).
#if !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // large directories and files on 32-bit systems too
#endif

#include "platform/directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

namespace velkor::platform {

namespace {

EntryType listed_type(unsigned char type) {
    switch (type) {
        case DT_DIR: return EntryType::kDirectory;
        case DT_REG: return EntryType::kRegular;
        case DT_LNK: return EntryType::kSymlink;
        case DT_UNKNOWN: return EntryType::kUnknown;
        default: return EntryType::kOther;
    }
}

}  // namespace

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
            listing.add(entry->d_name, listed_type(entry->d_type));
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

}  // namespace velkor::platform
