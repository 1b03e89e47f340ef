// The command's text outputs: the readable block, the raw "<sep>" report
// and the record's fields by name, as UTF-8 text ready for stdout.
#pragma once

#include <cstdint>
#include <string>

#include "file_facts.h"

namespace velkor::cli {

// A block of "label: value" lines under the file name. Only for status 0.
std::string block_text(const FileFacts& facts);

// One export call's output and outcome.
struct ExportOutput {
    std::string text;
    bool ok = false;
    bool notice_shown = false;  // the library already told the person why it failed
    int64_t length_seconds = 0;
};

// VkOpenMp3File's report on one line, behind "path: " when with_path.
ExportOutput report_output(const std::string& path, bool with_path);

// VkGetSonvexStruct's record, one "field: value" line per field under the
// file name.
ExportOutput record_output(const std::string& path);

}  // namespace velkor::cli
