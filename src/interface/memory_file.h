// Handles made from bytes already in memory rather than from a path: the
// same analysis and the same facts, texts and pictures as velkor_open gives,
// for callers inside the library and its tests that hold a file's bytes.
// Not exported.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_source.h"

struct velkor_file;

namespace velkor {

// Analyses the size bytes at data as a file named path; options as
// velkor_open's. The bytes need not outlive the handle.
int32_t open_from_memory(const uint8_t* data, std::size_t size, const char* path, uint32_t options,
                         velkor_file** file);

// Reads picture `index`'s data into buffer (size bytes) from source, the
// file's size_of_source bytes; statuses as velkor_read_picture's.
int32_t read_picture_from(const velkor_file* file, int32_t index, ByteSource& source, int64_t size_of_source,
                          void* buffer, int32_t size);

}  // namespace velkor
