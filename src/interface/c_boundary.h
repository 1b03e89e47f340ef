// The one guard at the C boundary: no exception crosses into the caller.
// Every export whose work may throw runs it through guarded(), so that a
// failed allocation is always VELKOR_ERROR_NO_MEMORY and anything else is
// the status the export states for itself.
#pragma once

#include <cstdint>
#include <new>

#include "velkor.h"

namespace velkor {

// body() as a status; std::bad_alloc is VELKOR_ERROR_NO_MEMORY, any other
// exception `otherwise`.
template <typename Body>
int32_t guarded(int32_t otherwise, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return otherwise;
    }
}

// For an export whose failure is a value rather than a status (NULL, -1,
// 0): any exception gives `otherwise`.
template <typename Result, typename Body>
Result guarded_value(Result otherwise, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return otherwise;
    }
}

}  // namespace velkor
