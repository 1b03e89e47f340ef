// A file's tags as an edit sees them: the ID3v2 tag, where the audio lies,
// the APEv2 and Lyrics3 tags as stored and the ID3v1 tag. Reads through a
// byte source; the new file a save makes of them is save/'s.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "tags/id3v2_edit.h"
#include "tags/trailing_tags.h"

namespace velkor {

struct StoredTag {
    TrailingTag::Kind kind = TrailingTag::Kind::kApev2;
    std::vector<uint8_t> bytes;
};

enum class Id3v1Mode : uint8_t { kKeep, kAdd, kRemove };

struct TaggedFile {
    Id3v2Edit id3v2;
    int64_t file_size = 0;
    int64_t audio_begin = 0;  // behind the old ID3v2 tag
    int64_t audio_end = 0;    // in front of the trailing tags
    // APEv2, Lyrics3 and ID3v1 copies inside the outermost, in file order.
    std::vector<StoredTag> trailing;
    // What the file is: another format's (MPEG audio in RIFF is not),
    // holding a confirmed frame, or nothing but tags. Edits are for the last
    // two.
    bool other_format = false;
    bool has_audio = false;
    bool tags_only = false;
    bool has_id3v1 = false;
    uint8_t id3v1[128] = {};  // the outermost ID3v1 tag

    Id3v1Mode id3v1_mode = Id3v1Mode::kKeep;
    bool remove_apev2 = false;
};

// Reads the tags of a file of `size` bytes, where its layout puts them
// (describe_file), and looks for its first frame. Memory: the tags' bytes.
TaggedFile read_tagged_file(ByteSource& source, int64_t size);

}  // namespace velkor
