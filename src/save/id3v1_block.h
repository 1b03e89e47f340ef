// The 128 bytes of an ID3v1 tag a save writes: the one block maker behind
// velkor_write_id3v1 and the edit's save.
// A field the save does not change keeps its bytes as stored, so a block
// whose values all stay the same is the old block, and nothing is written.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "tags/id3v2_edit.h"

namespace velkor {

constexpr std::size_t kId3v1BlockSize = 128;

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

// The block of `old` (null: a new tag) with the fields of `edit` stored.
void make_id3v1_block(const uint8_t* old, const Id3v1Edit& edit, uint8_t (&block)[kId3v1BlockSize]);

// Puts the bytes of `old` back into `block` for every field whose value
// the two blocks share (texts compared without trailing spaces and zeros).
void keep_unchanged_fields(const uint8_t (&old)[kId3v1BlockSize], uint8_t (&block)[kId3v1BlockSize]);

// The ID3v1 fields an edit of the ID3v2 tag carries over: those whose
// frames the caller set or removed (`set`: ids, "COMM" for the comment), or
// all of them (`set` null) for a new tag. `texts` keeps the texts alive.
void fill_id3v1(const Id3v2Edit& tag, const std::set<std::string>* set, Id3v1Edit& edit,
                std::string (&texts)[4]);

}  // namespace velkor
