// The save lock on Windows: nothing to take, as a file open for writing
// keeps other writers out.
#include "platform/file_lock.h"

#include "platform/update_file.h"

namespace velkor::platform {

struct FileLock::Held {};

FileProblem FileLock::acquire(const std::string&) {
    held_ = std::make_shared<Held>();
    return FileProblem::kNone;
}

void FileLock::adopt(UpdateFile& file) {
    file.release();
    held_ = std::make_shared<Held>();
}

bool FileLock::facts(FileFacts&) const { return false; }

}  // namespace velkor::platform
