// File problems as the statuses of velkor's own interface.
#include "interface/file_status.h"

#include "velkor.h"

namespace velkor {

int32_t status_of(platform::FileProblem problem, int32_t other) {
    using platform::FileProblem;
    switch (problem) {
        case FileProblem::kNone: return VELKOR_OK;
        case FileProblem::kNotFound: return VELKOR_ERROR_NOT_FOUND;
        case FileProblem::kNotPermitted: return VELKOR_ERROR_NOT_PERMITTED;
        case FileProblem::kNotRegular: return VELKOR_ERROR_NOT_REGULAR;
        case FileProblem::kReadOnly: return VELKOR_ERROR_READ_ONLY;
        case FileProblem::kNoSpace: return VELKOR_ERROR_NO_SPACE;
        default: return other;
    }
}

}  // namespace velkor
