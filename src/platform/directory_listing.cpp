// Directory listing: what both platforms share (the platform halves are
// directory_listing_posix.cpp and directory_listing_windows.cpp).
#include "platform/directory_listing.h"

#include <cstring>

namespace velkor::platform {

void DirectoryListing::add(const char* name, EntryType type) {
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) return;
    const std::size_t length = std::strlen(name) + 1;
    const std::size_t at = names.size();
    names.resize(at + length);
    std::memcpy(names.data() + at, name, length);
    entries.push_back({at, type});
}

}  // namespace velkor::platform
