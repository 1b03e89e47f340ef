// One ID3v2 frame of any kind, decoded: what it is (a text, a comment, a
// rating, a chapter ...) and its values, each kept apart. The parser of
// every frame layout the library lists; the frame walk finds the frames,
// this reads one when it is asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_cursor.h"

namespace velkor {

enum class Id3v2FrameKind : int32_t {
    kText, kUserText, kUrl, kUserUrl, kComment, kLyrics, kPicture, kPopularimeter, kUniqueId,
    kPrivate, kChapter, kToc, kOther
};

// The kind of a frame by its 2.3/2.4 id.
Id3v2FrameKind id3v2_frame_kind(const char* id);
// The 2.3/2.4 id of a version 2.2 frame ("TT2" -> "TIT2"), or "" for one
// that has none.
const char* id3v2_v24_id(const char* v22_id);

// What one frame may cost: its texts are decoded from at most
// kMaxFrameTextBytes of its content and no more than kMaxFrameValues values
// (or children) are kept.
constexpr std::size_t kMaxFrameTextBytes = 1024 * 1024;
constexpr std::size_t kMaxFrameValues = 4096;

struct Id3v2FrameValues {
    Id3v2FrameKind kind = Id3v2FrameKind::kOther;
    bool readable = false;  // the content could be had: not encrypted, inflated
    bool truncated = false;  // texts were cut or values left out
    int64_t content_size = 0;  // the content's bytes (inflated, resynchronised)
    std::vector<std::string> values;  // texts; a URL; a comment's texts; a MIME type
    std::string description, language, owner, element_id, title;
    std::vector<std::string> children;  // CTOC's child element ids
    int32_t rating = -1;                // POPM, 0-255
    int64_t play_count = -1;            // POPM, PCNT
    int64_t start_ms = -1, end_ms = -1;  // CHAP
    int64_t start_offset = -1, end_offset = -1;  // CHAP; 0xFFFFFFFF: not given
    int32_t toc_flags = -1;             // CTOC
    // RVA2 (its identification is the owner): the master volume's
    // adjustment in dB and its peak (1.0 full scale), where given.
    bool has_volume = false, has_peak = false;
    double volume_db = 0, volume_peak = 0;
};

// Decodes the frame whose body the cursor holds (as the frame walk gave
// them), reading no more of it than its values need.
Id3v2FrameValues read_id3v2_frame_values(ByteSource& source, const Id3v2Frame& frame, TagCursor body);

}  // namespace velkor
