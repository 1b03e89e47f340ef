// Files changed in place whose bytes the command hands to the storage
// together at the end: one sync of each file system instead of one per
// file, which is most of what an edit in place costs.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace velkor::cli {

class PendingSync {
public:
    PendingSync() = default;
    ~PendingSync();
    PendingSync(const PendingSync&) = delete;
    PendingSync& operator=(const PendingSync&) = delete;

    // Called before a file is saved without a sync: keeps a descriptor on
    // its file system, so that the final sync reports any write-back error
    // from now on.
    void watch(const std::string& path);
    // Syncs the file systems watched; false (with the reason in `problem`)
    // when the system reports that bytes written since did not reach them.
    bool flush(std::string& problem);

private:
    std::map<uint64_t, int> by_device_;  // a descriptor per file system
    bool unknown_ = false;               // a file that could not be placed: sync all
};

}  // namespace velkor::cli
