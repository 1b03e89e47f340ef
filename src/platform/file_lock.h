// The lock that serialises velkor's saves of one file: an exclusive flock
// on the file itself, held from the edit's open to its close. Every save of
// velkor takes it, so two of them never interleave; other programs do not,
// which is why a save still compares what it finds with what was read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_problem.h"
#include "platform/file_source.h"

namespace velkor::platform {

class UpdateFile;

class FileLock {
public:
    FileLock() = default;

    // Opens the file at `path` and waits for its lock. A file another
    // writer renamed over the path meanwhile is not the file: the lock is
    // taken again on what the path names then. Locks of one process on
    // one file are shared, so that a process never waits for itself.
    // kNotRegular for anything but a regular file.
    FileProblem acquire(const std::string& path);

    // Takes the lock `file` holds (UpdateFile::lock) as this one's, giving
    // up the one held before: the file that replaced the locked one.
    void adopt(UpdateFile& file);

    void release() { held_.reset(); }
    bool held() const { return held_ != nullptr; }

    // What the system says about the locked file now.
    bool facts(FileFacts& facts) const;

    struct Held;

private:
    std::shared_ptr<Held> held_;
};

}  // namespace velkor::platform
