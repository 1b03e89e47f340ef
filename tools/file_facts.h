// One file's analysis, gathered from the library's file-information object
// into plain values for the output formats. Texts are as stored (8-bit), in
// fixed fields ended by a zero byte, so that gathering them allocates
// nothing; text() gives their view.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "stream/frame_header.h"
#include "stream/mp3_file_info.h"
#include "tags/tag_record.h"

namespace velkor::cli {

using Text = TagRecord::Text;

// The text of a fixed field: up to its zero byte, never past the field.
template <std::size_t N>
std::string_view text(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

struct Id3v1Facts {
    bool present = false;
    bool v11 = false;  // ID3v1.1: the tag holds a track number
    Text title = {}, artist = {}, album = {}, comment = {};
    int32_t year = 0;
    int32_t track = -1;
    int32_t genre = 255;  // the genre byte as stored
    char genre_name[TagRecord::kGenreNameSize] = {};  // or "not supported"
};

struct Id3v2Facts {
    bool present = false;
    Text title = {}, artist = {}, album = {}, comment = {}, genre = {}, track = {}, year = {};
    int32_t genre_index = -1000;  // -1000: not a genre of the table
};

struct FileFacts {
    std::string_view path;  // the caller's, which must outlive the facts
    int32_t status = 0;     // of load: 0, 2 not opened, 4 no frame header
    char version[FrameHeader::kVersionTextSize] = {};
    float mpeg_version = 0;
    int32_t layer = 0;
    int32_t bitrate_kbps = 0;
    bool vbr = false;
    int32_t sampling_rate_hz = 0;
    char mode[FrameHeader::kModeNameSize] = {};
    int32_t length_seconds = 0;
    char length[Mp3FileInfo::kLengthTextSize] = {};
    int64_t file_size = 0;
    int64_t first_frame_offset = 0;
    int32_t frames = 0;
    int32_t track = -1;  // from either tag, as the exports give it
    Id3v1Facts id3v1;
    Id3v2Facts id3v2;
};

// Analyses files one after the other, reusing its working memory (the
// library's object keeps the path's room from file to file).
class FileAnalyser {
public:
    // Analyses the file at path into facts, which must be fresh; the facts
    // beyond path and status are filled only when status is 0.
    void analyse(const std::string& path, FileFacts& facts);

private:
    Mp3FileInfo info_;
};

// A short description of a failed status for the person.
const char* status_problem(int32_t status);

}  // namespace velkor::cli
