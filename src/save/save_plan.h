// What a save writes: the new bytes of each tag and what stays. The ID3v2
// tag is written anew only when an edit changed it (its padding is the
// tag writer's: kept room, else fresh padding); the APEv2 and Lyrics3 tags
// stay as stored unless removed; the ID3v1 block follows the ID3v2 fields
// set, or is given whole. Pure: the file's bytes are TaggedFile's.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "save/file_save.h"
#include "stream/tag_rewrite.h"

namespace velkor {

struct PlanOptions {
    bool new_as_v24 = false;
    // The ID3v2 frame ids the caller set or removed; their ID3v1 fields
    // follow. Removing the whole ID3v2 tag sets none.
    const std::set<std::string>* id3v1_fields = nullptr;
    // The new ID3v1 block, given whole (velkor_write_id3v1); null: made
    // from the ID3v2 fields.
    const uint8_t* id3v1_block = nullptr;
};

struct TagPlan {
    NewFile file;
    int id3v2_version = 0;  // of the tag in the new file; 0 none
    int64_t id3v2_size = 0;
    bool too_large = false;
    bool has_id3v1 = false;
    bool has_apev2 = false;
};

TagPlan plan_tagged_file(const TaggedFile& file, const PlanOptions& options);

}  // namespace velkor
