// What the C stream library leaves to each system: positions beyond 2 GiB
// and cutting a file back to a size.
#pragma once

#include <cstdint>
#include <cstdio>

namespace velkor::platform {

// Moves the stream to offset bytes from the start of its file.
bool seek_to(std::FILE* file, int64_t offset);

// The size of the stream's file in bytes, or -1. Leaves the stream at its
// end.
int64_t size_of(std::FILE* file);

// Cuts (or extends) the stream's file to size bytes. The stream must not
// hold unwritten data.
bool resize(std::FILE* file, int64_t size);

}  // namespace velkor::platform
