// JSON Lines output: one object per file, on one line.
#pragma once

#include <string_view>

#include "file_facts.h"
#include "text_buffer.h"

namespace velkor::cli {

// Appends the JSON object of an analysed file and its line break to out.
void append_json_line(TextBuffer& out, std::string_view path, const AnalysedFile& file);

// The line of a file that was not analysed: its --json status and why.
void append_json_failure(TextBuffer& out, std::string_view path, int status, std::string_view error);

}  // namespace velkor::cli
