// JSON Lines output: one object per file, on one line.
#pragma once

#include <string_view>

#include "file_facts.h"
#include "text_buffer.h"

namespace velkor::cli {

// Appends the JSON object for one file and its line break to out. A failed
// file carries its status and an "error" text and no figures; problem, when
// not empty, overrides the error text (for operands never analysed).
void append_json_line(TextBuffer& out, const FileFacts& facts, std::string_view problem = {});

}  // namespace velkor::cli
