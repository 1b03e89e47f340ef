// JSON Lines output: one object per file, on one line.
#pragma once

#include <string>

#include "file_facts.h"

namespace velkor::cli {

// The JSON object for one file, without the line break. A failed file
// carries its status and an "error" text and no figures; problem, when not
// empty, overrides the error text (for operands never analysed).
std::string json_line(const FileFacts& facts, const std::string& problem = {});

}  // namespace velkor::cli
