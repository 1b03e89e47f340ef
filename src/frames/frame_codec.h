// One ID3v2 frame's content as values, both ways: a codec per kind of
// frame (texts, URLs, comments, pictures, ratings, ids, chapters, people
// lists) reads the content into Id3v2FrameValues and writes the same
// values back as content in the layout of a version. The frame walk finds
// frames; read_id3v2_frame_values decodes one of them when it is asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "base/byte_span.h"
#include "frames/frame_table.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_cursor.h"

namespace velkor {

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
    bool size_differs = false;  // compressed, and inflated to another size than declared
    // Texts; a URL; a comment's texts; a picture's MIME type; a unique
    // id's identifier (its bytes as Latin-1); people lists: role, name,
    // role, name ...
    std::vector<std::string> values;
    std::string description, language, owner, element_id, title;
    std::vector<std::string> children;  // CTOC's child element ids
    std::vector<std::string> genres;    // TCON: the values' genres, references resolved
    int32_t picture_type = -1;          // APIC
    int32_t rating = -1;                // POPM, 0-255
    int64_t play_count = -1;            // POPM, PCNT
    int64_t start_ms = -1, end_ms = -1;  // CHAP
    int64_t start_offset = -1, end_offset = -1;  // CHAP; 0xFFFFFFFF: not given
    int32_t toc_flags = -1;             // CTOC: 0x02 top level, 0x01 ordered
    // RVA2 (its identification is the owner): the master volume's
    // adjustment in dB and its peak (1.0 full scale), where given.
    bool has_volume = false, has_peak = false;
    double volume_db = 0, volume_peak = 0;
    // Bytes behind the texts: a picture's data, a unique id's identifier,
    // private data, the whole content of any other kind. Filled by
    // decoding only when asked for (keep_data).
    std::vector<uint8_t> data;
};

// Decodes a frame's content (its stored layout undone) into values; `id` is
// the frame's 2.3/2.4 id, `version` the tag's (2 reads PIC's image format).
// A picture's data and other bytes go into `data` only with keep_data.
Id3v2FrameValues decode_id3v2_frame(const char* id, ByteSpan content, int version, bool keep_data = false);

// The content of a frame holding `values` (of values.kind) in the layout of
// `version` (2, 3 or 4): texts in UTF-8 in 2.4, else Latin-1 where they
// fit and UTF-16 where not; several values of a text frame zero-separated
// in 2.4 and joined by "/" in 2.3.
std::vector<uint8_t> encode_id3v2_frame(const Id3v2FrameValues& values, int version);

// The MIME type of a version 2.2 picture's image format ("JPG", "png" ->
// "image/jpeg", "image/png"); the link marker "-->" stays itself.
std::string picture_mime_of_format(std::string_view format);

// Decodes the frame whose body the cursor holds (as the frame walk gave
// them), reading no more of it than its values need.
Id3v2FrameValues read_id3v2_frame_values(ByteSource& source, const Id3v2Frame& frame, TagCursor body);

}  // namespace velkor
