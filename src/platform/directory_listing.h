// A directory's entries as the system lists them, for walking folders of
// audio files. Names are UTF-8 on Windows, bytes as stored elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file_problem.h"

namespace velkor::platform {

enum class EntryType : uint8_t { kDirectory, kRegular, kSymlink, kOther, kUnknown };

// The entries of one directory other than "." and "..". The names sit one
// after the other in `names`, each with its zero byte, so that a listing
// costs no allocation per entry.
struct DirectoryListing {
    struct Entry {
        std::size_t name;  // offset of the name in `names`
        EntryType type;    // as listed; kUnknown where the file system does not say
    };
    std::vector<char> names;
    std::vector<Entry> entries;

    const char* name_of(const Entry& entry) const { return names.data() + entry.name; }
    // Adds an entry the system listed; "." and ".." are passed over.
    void add(const char* name, EntryType type);
};

// Lists the directory at path into listing (emptied first, in the system's
// order); kNone, or why it could not.
FileProblem list_directory(const char* path, DirectoryListing& listing);

// The type of the file at path, the link's target's when follow_link;
// kOther when it cannot be examined.
EntryType file_type(const char* path, bool follow_link);

// What tells one folder from every other: device and inode on POSIX
// systems, volume serial number and file index on Windows.
struct FolderId {
    uint64_t device = 0, number = 0;
    bool operator==(const FolderId& other) const { return device == other.device && number == other.number; }
};

// The id of the folder at path (links followed); false when it cannot be
// had.
bool folder_id(const char* path, FolderId& id);

}  // namespace velkor::platform
