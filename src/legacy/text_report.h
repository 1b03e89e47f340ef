// What the analysis exports make of an analysed file: the "<sep>" report of
// VkOpenMp3File and the record of VkGetSonvexStruct.
#pragma once

#include "stream/mp3_file_info.h"
#include "velkor_analysis.h"

namespace velkor {

// Writes the report of a loaded file: "SUCCESS: " and fifteen items, each
// closed by "<sep>".
void build_text_report(const Mp3FileInfo& info, char (&out)[VELKOR_REPORT_SIZE]);

// Fills the record of a loaded file, status "Success".
void fill_record(const Mp3FileInfo& info, velkor_info_record& record);

}  // namespace velkor
