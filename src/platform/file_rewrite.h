// Giving a file new tags so that its name holds, at every moment, either the
// whole old file or the whole new one, and the audio between the tags is
// never touched.
//
// The new file is described as three parts: new bytes in front (the ID3v2
// tag with its padding), a range of the old file kept as it is (the audio),
// new bytes behind (APEv2 and ID3v1 tags). Where that differs from the old
// file in one place that a single write or a single cut can change (the
// front when its size stays the same, or the back alone), the file is
// changed in place, synced, and no audio byte moves. Otherwise the new file
// is written beside the old one in the same folder, synced, and renamed over
// it in one step; the copy keeps the old file's mode and owner, and a
// temporary file is removed when anything fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_problem.h"
#include "platform/file_source.h"

namespace velkor::platform {

struct FileRewrite {
    std::vector<uint8_t> head;  // the new file's first bytes
    int64_t keep_from = 0;      // then the old file's bytes [keep_from, keep_to)
    int64_t keep_to = 0;
    std::vector<uint8_t> tail;  // then these, to the end
};

struct RewriteOptions {
    // A file with other hard links is refused (kLinked), because replacing
    // it would part this name from the others; with this set, this name
    // gets the new file and the other names keep the old one.
    bool break_links = false;
    // Only say how the file would be written; change nothing.
    bool dry_run = false;
};

enum class RewriteStatus : uint8_t {
    kDone,
    kChanged,  // the file is no longer the one `expected` describes
    kLinked,   // other hard links, and break_links not set
    kFailed,   // see problem; the file is as it was
};

enum class RewriteWay : uint8_t { kNone, kInPlace, kReplaced };

struct RewriteOutcome {
    RewriteStatus status = RewriteStatus::kFailed;
    FileProblem problem = FileProblem::kNone;
    RewriteWay way = RewriteWay::kNone;
    int64_t bytes_written = 0;  // by this call, to any file
};

// Gives the file at `utf8_path` (UTF-8; UTF-16 on Windows) the new content,
// provided it is still the file `expected` describes.
RewriteOutcome rewrite_file(const std::string& utf8_path, const FileIdentity& expected, const FileRewrite& rewrite,
                            const RewriteOptions& options = {});

}  // namespace velkor::platform
