// Why the system refused a file or folder operation, in the terms a user is
// told: the one reading of errno (and of Windows' error codes) that every
// file operation of the platform layer reports with.
#pragma once

#include <cstdint>

namespace velkor::platform {

enum class FileProblem : uint8_t {
    kNone,
    kNotFound,      // no such file, or a folder on its path is missing
    kNotPermitted,  // no permission
    kNotRegular,    // a directory, FIFO, device or socket where a file was wanted
    kReadOnly,      // a read-only file system
    kNoSpace,       // no room left, or over a size limit or quota
    kOther,
};

// The problem an errno value stands for (0: none).
FileProblem problem_of_errno(int error);

// The problem a Windows error code (GetLastError) stands for (0: none).
// Only the Windows build has it, for its halves of the platform layer.
FileProblem problem_of_system_error(unsigned long error);

}  // namespace velkor::platform
