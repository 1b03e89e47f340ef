// Rewriting the ID3v1 tag of a file by path for velkor's own interface;
// the analysis object's write_tag goes through the same writer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/update_file.h"

namespace velkor {

// The fields to store; texts are UTF-8 and stored as Latin-1.
struct Id3v1Edit {
    enum Field : uint32_t {
        kTitle = 0x01, kArtist = 0x02, kAlbum = 0x04, kYear = 0x08,
        kComment = 0x10, kTrack = 0x20, kGenre = 0x40,
    };
    uint32_t fields = 0;
    const char* title = nullptr;
    const char* artist = nullptr;
    const char* album = nullptr;
    const char* comment = nullptr;
    int32_t year = 0;   // 0 to 9999; 0 leaves the field empty
    int32_t track = 0;  // 1 to 255; 0 removes it
    int32_t genre = 255;
};

struct Rewrite {
    bool written = false;
    bool appended = false;  // the file had no tag; one was added
    platform::FileProblem problem = platform::FileProblem::kNone;
};

// The 128 bytes of an ID3v1 tag: the fields of `edit` stored into the old
// tag (null: into an empty one). The one layout of ID3v1 tags written.
void make_id3v1_block(const uint8_t* old, const Id3v1Edit& edit, uint8_t (&block)[128]);

// Stores the fields in the tag the file ends with (the others keep their
// values), or appends a tag holding them. Nothing else changes, and a
// failed write leaves the file as it was.
Rewrite rewrite_id3v1(const std::string& path, bool utf8_path, const Id3v1Edit& edit);

}  // namespace velkor
