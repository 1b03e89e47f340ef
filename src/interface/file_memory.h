// What an analysed file's handle holds in memory, estimated: lets a scan
// bound the results it keeps waiting in bytes as well as in files.
#pragma once

#include <cstddef>

struct velkor_file;

namespace velkor {

// The handle's own size, its texts and its pictures' descriptions; 0 for
// no handle.
std::size_t held_bytes(const velkor_file* file);

}  // namespace velkor
