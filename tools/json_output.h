// JSON Lines output: one object per file, on one line, in the layout of
// doc/json.md.
#pragma once

#include <string_view>

#include "text_buffer.h"
#include "file_facts.h"

namespace velkor::cli {

// Appends the JSON object of an analysed file and its line break to out:
// VELKOR_OK, or the status of the library's failure, whose failure line
// is appended instead.
int32_t append_json_line(TextBuffer& out, const char* path, AnalysedFile& file);

// The line of a file that was not analysed: its status's name and why.
// stream_format: the format another format's file has ("FLAC"), when known.
void append_json_failure(TextBuffer& out, std::string_view path, std::string_view status, std::string_view error,
                         std::string_view stream_format = {});

// The name of a status in "status": "ok", "not_found", ...
const char* json_status_name(int32_t status);

}  // namespace velkor::cli
