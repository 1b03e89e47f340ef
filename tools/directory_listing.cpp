// Directory listing with opendir and readdir: the entry types come with the
// listing, so a walk needs no stat per file.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // large directories and files on 32-bit systems too
#endif

#include "directory_listing.h"

#if !defined(_WIN32)

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace velkor::cli {

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

int list_directory(const char* path, DirectoryListing& listing) {
    listing.names.clear();
    listing.entries.clear();
    DIR* dir = opendir(path);
    if (dir == nullptr) return errno;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        const std::size_t length = std::strlen(name) + 1;
        const std::size_t at = listing.names.size();
        listing.names.resize(at + length);
        std::memcpy(listing.names.data() + at, name, length);
        listing.entries.push_back({at, listed_type(entry->d_type)});
    }
    closedir(dir);
    return error;
}

EntryType file_type(const char* path, bool follow_link) {
    struct stat info;
    if ((follow_link ? stat(path, &info) : lstat(path, &info)) != 0) return EntryType::kOther;
    if (S_ISDIR(info.st_mode)) return EntryType::kDirectory;
    if (S_ISREG(info.st_mode)) return EntryType::kRegular;
    if (S_ISLNK(info.st_mode)) return EntryType::kSymlink;
    return EntryType::kOther;
}

}  // namespace velkor::cli

#endif
