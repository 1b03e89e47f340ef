// Updating a regular file in place, and making the new file a rewrite
// fills: what both platforms share (the platform halves are
// update_file_posix.cpp and update_file_windows.cpp).
#include "platform/update_file.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace velkor::platform {

bool UpdateFile::failed() {
    problem_ = problem_of_errno(errno);
    if (problem_ == FileProblem::kNone) problem_ = FileProblem::kOther;
    return false;
}

bool UpdateFile::failed(FileProblem problem) {
    problem_ = problem;
    return false;
}

namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 20;

}  // namespace

// The copy through the process: 1 MiB at a time, whatever the range.
bool UpdateFile::copy_blocks(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    std::vector<uint8_t> block(static_cast<std::size_t>(std::min<int64_t>(count, kCopyBlock)));
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(count, kCopyBlock));
        if (!source.read_at(from, block.data(), n)) return failed(source.problem());
        if (!write_at(to, block.data(), n, false)) return false;
        from += static_cast<int64_t>(n);
        to += static_cast<int64_t>(n);
        count -= static_cast<int64_t>(n);
    }
    return true;
}

}  // namespace velkor::platform
