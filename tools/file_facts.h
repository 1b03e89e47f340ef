// One file's analysis, gathered from the library's file-information object
// into plain values for the output formats. Texts are as stored (8-bit).
#pragma once

#include <cstdint>
#include <string>

namespace velkor::cli {

struct Id3v1Facts {
    bool present = false;
    bool v11 = false;  // ID3v1.1: the tag holds a track number
    std::string title, artist, album, comment;
    int32_t year = 0;
    int32_t track = -1;
    int32_t genre = 255;     // the genre byte as stored
    std::string genre_name;  // or "not supported"
};

struct Id3v2Facts {
    bool present = false;
    std::string title, artist, album, comment, genre, track, year;
    int32_t genre_index = -1000;  // -1000: not a genre of the table
};

struct FileFacts {
    std::string path;
    int32_t status = 0;  // of load: 0, 2 not opened, 4 no frame header
    std::string version;
    float mpeg_version = 0;
    int32_t layer = 0;
    int32_t bitrate_kbps = 0;
    bool vbr = false;
    int32_t sampling_rate_hz = 0;
    std::string mode;
    int32_t length_seconds = 0;
    std::string length;
    int64_t file_size = 0;
    int64_t first_frame_offset = 0;
    int32_t frames = 0;
    int32_t track = -1;  // from either tag, as the exports give it
    Id3v1Facts id3v1;
    Id3v2Facts id3v2;
};

// Analyses the file at path; the facts beyond path and status are filled
// only when status is 0.
FileFacts analyse_file(const std::string& path);

// A short description of a failed status for the person.
const char* status_problem(int32_t status);

}  // namespace velkor::cli
