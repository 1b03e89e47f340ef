// The command's text outputs: the readable block, the raw "<sep>" report
// and the record's fields by name. Everything is written to stdout as UTF-8.
#pragma once

#include <string>

#include "file_facts.h"

namespace velkor::cli {

// A block of "label: value" lines under the file name. Only for status 0.
void print_block(const FileFacts& facts);

// The outcome of one export call, for the caller's error handling.
struct ExportOutcome {
    bool ok = false;
    bool notice_shown = false;  // the library already told the person why
};

// VkOpenMp3File's report on one line, behind "path: " when with_path.
ExportOutcome print_report(const std::string& path, bool with_path);

// VkGetSonvexStruct's record, one "field: value" line per field under the
// file name.
ExportOutcome print_record(const std::string& path);

}  // namespace velkor::cli
