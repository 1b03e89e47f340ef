// The VELKOR_ status that tells a caller why a file operation failed.
#pragma once

#include <cstdint>

#include "platform/file_problem.h"

namespace velkor {

// The status for the problem; `other` for a problem without a status of
// its own (VELKOR_ERROR_READ or VELKOR_ERROR_WRITE, by what was tried).
int32_t status_of(platform::FileProblem problem, int32_t other);

}  // namespace velkor
