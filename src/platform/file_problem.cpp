// Reading errno as file problems (both platforms' C runtimes set it; the
// Windows error codes are read in file_problem_windows.cpp).
#include "platform/file_problem.h"

#include <cerrno>

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

}  // namespace velkor::platform
