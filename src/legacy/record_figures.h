// The analysis exports' figures of a loaded file (VkOpenMp3File's report and
// VkGetSonvexStruct's record), in the encodings and arithmetic those callers
// know: the first frame's position counted from 1, a Xing header's average
// bitrate through single precision, the length from whole kilobits. The
// stream's own figures are Mp3FileInfo's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/mp3_file_info.h"

namespace velkor::legacy {

inline constexpr std::size_t kLengthTextSize = 16;

// The first frame header's offset plus one. Without a frame: the file's
// size less 4 where the search examined a position (it ends at the last 4
// bytes), else 0.
int64_t header_pos(const Mp3FileInfo& info);

// Meaningful after a load that found a frame.
int32_t bitrate_kbps(const Mp3FileInfo& info);
int32_t frame_count(const Mp3FileInfo& info);
int32_t length_seconds(const Mp3FileInfo& info);
// The length as "mm:ss", or "hh:mm:ss" from an hour on.
void length_text(const Mp3FileInfo& info, char (&out)[kLengthTextSize]);

}  // namespace velkor::legacy
