// The bounded string copy into a fixed-width field (lstrcpynA on Windows):
// bounded_copy_posix.cpp and bounded_copy_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

// Copies at most n - 1 characters of src into dest and ends them with a zero
// byte; n of 0 or less writes nothing. A NULL src counts as empty. Returns
// dest.
char* bounded_copy(char* dest, const char* src, int32_t n);

// The same for a fixed array: the field width is the array's size.
template <std::size_t N>
char* bounded_copy(char (&dest)[N], const char* src) {
    return bounded_copy(dest, src, static_cast<int32_t>(N));
}

}  // namespace velkor
