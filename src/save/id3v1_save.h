// Saving a new ID3v1 tag by path (velkor_write_id3v1): the same plan and writer as an edit's save, with the ID3v2
// tag and the other trailing tags kept as stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_problem.h"
#include "save/file_save.h"
#include "save/id3v1_block.h"

namespace velkor {

struct Id3v1Saved {
    SaveStatus status = SaveStatus::kFailed;
    platform::FileProblem problem = platform::FileProblem::kNone;
    bool appended = false;  // the file had no tag; one was added
};

// make(old, block): the new block from the file's tag (old null: none).
using Id3v1Maker = std::function<void(const uint8_t* old, uint8_t (&block)[kId3v1BlockSize])>;

Id3v1Saved save_id3v1(const std::string& path, const Id3v1Maker& make);

}  // namespace velkor
