// Opening an edit by a name given either way: velkor_edit_open (UTF-8) and,
// in the Windows build, velkor_edit_open_w (UTF-16, file_api_windows.cpp).
// Not exported.
#pragma once

#include <cstdint>

struct velkor_edit;

namespace velkor {

// A new edit of the file at the UTF-8 `path`; `wide_path`, where not NULL,
// is the name a wide entry point was handed, by which the file is opened.
// Statuses as velkor_edit_open.
int32_t open_edit_named(const char* path, const wchar_t* wide_path, uint32_t options, velkor_edit** edit);

}  // namespace velkor
