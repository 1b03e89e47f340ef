// The command's text outputs: the readable block, the raw "<sep>" report
// and the record's fields by name, as UTF-8 text ready for stdout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_facts.h"
#include "../src/base/text_buffer.h"

namespace velkor::cli {

// Appends a block of "label: value" lines under the file name; with all,
// every frame of the ID3v2 tag as well.
void append_block(TextBuffer& out, std::string_view path, const AnalysedFile& file, bool all);

// "28.4 kB (28352 bytes)", "64.0 MB (64000001 bytes)": kB and MB of 1000
// and 1000000 bytes, to the nearest tenth; "512 bytes" below a kB. Every
// size the command prints is written so.
void append_size(TextBuffer& out, int64_t bytes);

// One line of the file's facts by a template of {fields} (--brief).
// An unknown field is left as written.
void append_brief(TextBuffer& out, std::string_view path, const AnalysedFile& file, std::string_view format);

// One export call's output and outcome.
struct ExportOutput {
    std::string text;
    bool ok = false;
    int64_t length_seconds = 0;
};

// VkOpenMp3File's report on one line, behind "path: " when with_path.
ExportOutput report_output(const std::string& path, bool with_path);

// VkGetSonvexStruct's record, one "field: value" line per field under the
// file name.
ExportOutput record_output(const std::string& path);

// The exports tell a failure in a notice of their own words; the command
// tells it instead, so they are kept quiet.
void silence_export_notices();

}  // namespace velkor::cli
