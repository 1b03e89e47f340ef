// Reading Windows' error codes (GetLastError) as file problems.
#include "platform/file_problem.h"

#include <windows.h>

namespace velkor::platform {

FileProblem problem_of_system_error(unsigned long error) {
    switch (error) {
        case ERROR_SUCCESS:
            return FileProblem::kNone;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return FileProblem::kNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return FileProblem::kNotPermitted;
        case ERROR_WRITE_PROTECT:
            return FileProblem::kReadOnly;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileProblem::kNoSpace;
        default:
            return FileProblem::kOther;
    }
}

}  // namespace velkor::platform
