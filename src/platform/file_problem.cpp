// Reading errno and Windows' error codes as file problems.
#include "platform/file_problem.h"

#include <cerrno>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace velkor::platform {

FileProblem problem_of_errno(int error) {
    switch (error) {
        case 0:
            return FileProblem::kNone;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return FileProblem::kNotFound;
        case EACCES:
        case EPERM:
            return FileProblem::kNotPermitted;
        case EISDIR:
            return FileProblem::kNotRegular;
        case EROFS:
            return FileProblem::kReadOnly;
        case ENOSPC:
        case EFBIG:
#if defined(EDQUOT)
        case EDQUOT:
#endif
            return FileProblem::kNoSpace;
        default:
            return FileProblem::kOther;
    }
}

#if defined(_WIN32)

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

#endif

}  // namespace velkor::platform
