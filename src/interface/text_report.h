// The "<sep>" report of VkOpenMp3File.
#pragma once

#include "stream/mp3_file_info.h"
#include "velkor.h"

namespace velkor {

// Writes the report of a loaded file: "SUCCESS: " and fifteen items, each
// closed by "<sep>".
void build_text_report(const Mp3FileInfo& info, char (&out)[VELKOR_REPORT_SIZE]);

}  // namespace velkor
