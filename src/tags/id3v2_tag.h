// Everything velkor's own interface gives of an ID3v2 tag (versions 2.2,
// 2.3 and 2.4): the texts whole and in UTF-8, and the pictures, described
// but not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "base/byte_span.h"
#include "frames/frame_codec.h"
#include "frames/frame_genre.h"
#include "tags/id3v2_frames.h"

namespace velkor {

struct Id3v2Picture {
    int32_t type = 0;  // 3: front cover, ...
    std::string mime;
    std::string description;
    int64_t bytes = 0;  // the picture data's size
    // Where the frame's body stands in the tag's source, how many bytes of
    // it are stored there, and how to get the data back from them.
    int64_t body_offset = 0;
    uint32_t stored_size = 0;
    bool unsynchronised = false;  // the stored bytes must be resynchronised
    uint32_t data_at = 0;         // the data's offset in the decoded body
    // Bytes at the body's start that the frame's own unsynchronisation
    // leaves as stored (a version 2.4 frame's group byte and data length).
    uint32_t raw_prefix = 0;
    // A compressed frame: its data is data_at bytes into the inflated
    // content (read_compressed_picture), which `frame` describes.
    bool compressed = false;
    Id3v2Frame frame;
};

// One frame of the tag as the walk found it: enough to find and read it
// again, nothing of its content.
struct Id3v2FrameEntry {
    char id[5] = {};
    uint16_t flags = 0;
    uint32_t size = 0;         // body bytes as the header gives them
    int64_t body_offset = 0;   // where the body starts in the tag's source
    uint32_t stored_size = 0;  // the bytes it takes there (more with the tag's unsynchronisation)
};

// What one tag may cost, whatever its frames claim: a text is cut at
// kMaxTextBytes of UTF-8 (at a character's start), a picture's MIME type and
// description at kMaxPictureTextBytes, and no more than kMaxPictures
// pictures are kept. So a tag holds at most about 17 MiB, and reading it
// fetches no more than kMaxTextBytes of any frame at once.
constexpr std::size_t kMaxTextBytes = 1024 * 1024;
constexpr std::size_t kMaxPictureTextBytes = 1024;
constexpr std::size_t kMaxPictures = 4096;
constexpr std::size_t kMaxListedFrames = 4096;
// The frames decoded while the tag is read: each that takes at most
// kDecodedFrameBytes in the tag, and pictures of any size (from their first
// bytes). Those the common facts come from (the
// table's `common` rows) up to kDecodedTagBytes of them in all, compressed
// ones only while what they inflated stays within kDecodedTagBytes too; the
// others, not compressed, up to kDecodedTagBytes of their own.
constexpr uint32_t kDecodedFrameBytes = 16 * 1024;
constexpr int64_t kDecodedTagBytes = 1024 * 1024;

// A listed frame decoded at the tag's reading.
struct Id3v2DecodedFrame {
    std::size_t index = 0;  // in Id3v2Tag::frames
    bool common = false;    // one the common facts read
    Id3v2FrameValues values;
};

struct Id3v2Tag {
    int32_t version = 0;  // 2, 3 or 4; 0 when there is no tag
    std::string title, artist, album, album_artist, year, track, disc, genre, composer, comment;
    std::string date;  // ISO 8601: TDRC, or TYER with TDAT and TIME
    std::vector<Id3v2Picture> pictures;  // the first kMaxPictures
    int64_t picture_frames = 0;          // every readable picture frame, kept or not
    bool truncated = false;              // a text was cut, or pictures were not kept
    bool unsynchronised = false;         // the header's flag
    std::vector<Id3v2FrameEntry> frames;  // every frame in order, the first kMaxListedFrames
    int64_t frame_count = 0;             // every frame, listed or not
    std::vector<Id3v2DecodedFrame> decoded;  // in the order of the tag
};

// Reads the tag at offset 0 of source, `length` bytes of it (header
// included). Frame headers and the bodies of the frames it keeps are
// fetched; picture data is not, nor the bodies of the frames it only
// lists. A tag of another version gives version 0.
Id3v2Tag read_id3v2_tag(ByteSource& source, int64_t length);

// The picture's data out of the frame body's stored bytes (which start at
// body_offset): what read_id3v2_tag found, decoded again. Empty when the
// bytes are short.
std::string picture_data(const Id3v2Picture& picture, ByteSpan stored);

// A compressed picture's data, inflated again from the frame's body in
// source (at the offsets read_id3v2_tag found it in). Empty when it no
// longer inflates to the size found.
std::vector<uint8_t> read_compressed_picture(ByteSource& source, const Id3v2Picture& picture);

}  // namespace velkor
