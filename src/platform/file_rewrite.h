// Giving a file new tags so that its name holds, at every moment, either the
// whole old file or the whole new one, and the audio between the tags is
// never touched.
//
// The new file is described as three parts: new bytes in front (the ID3v2
// tag with its padding), a range of the old file kept as it is (the audio),
// new bytes behind (APEv2 and ID3v1 tags). Where that differs from the old
// file in one place that a single write or a single cut can change (the
// front when its size stays the same, or the back alone), the file is
// changed in place, synced, and no audio byte moves: one write of the new
// head, one write of a tail as long as the old one, one append to a tail
// the new one begins with, or one cut of a tail that begins with the new
// one. A write that fails is undone before the call returns. Otherwise the
// new file is written beside the old one in the same folder (named
// ".NAME.velkor-XXXXXX", readable by its owner alone until done), synced,
// and renamed over it in one step; the copy keeps the old file's mode and
// owner, and is removed when anything fails.
//
// Rules a caller can rely on:
// - Only a file the caller may write is changed: a read-only file is
//   refused (kNotPermitted) even where its folder would allow a
//   replacement.
// - A replacement that cannot give the copy the old file's owner and group
//   (a file of another user's) is refused (kNotPermitted) rather than
//   leaving the file someone else's; a change in place needs no such step.
//   On POSIX systems extended attributes and ACLs are not copied. On
//   Windows the copy takes the folder's permissions and the old file's
//   hidden, system and archive attributes.
// - A process killed during a replacement may leave its ".velkor-" file
//   behind, never a damaged file under the old name. Such a file is not
//   removed by later rewrites (another process may be writing it at that
//   moment); it can be deleted by hand.
// - Where the folder is read-only, only a change in place is possible.
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
    // A file with other hard links changes under all its names when the
    // change is in place; one that must be replaced is refused (kLinked),
    // because replacing it would part this name from the others. With this
    // set a linked file is always replaced: this name gets the new file and
    // the other names keep the old one.
    bool break_links = false;
    // Only say how the file would be written; change nothing.
    bool dry_run = false;
    // A change in place is handed to the storage before the call returns;
    // false leaves that to the caller, who syncs many files at once. A
    // replacement is synced regardless: its rename must never come before
    // its bytes.
    bool sync_in_place = true;
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
    RewriteWay way = RewriteWay::kNone;  // the way taken, or meant when refused or failed
    int64_t bytes_written = 0;           // by a successful call, to any file
    int64_t bytes_planned = 0;           // what the way writes: also told by a dry run
};

// Gives the file at `utf8_path` (UTF-8; UTF-16 on Windows) the new content,
// provided it is still the file `expected` describes.
RewriteOutcome rewrite_file(const std::string& utf8_path, const FileIdentity& expected, const FileRewrite& rewrite,
                            const RewriteOptions& options = {});

}  // namespace velkor::platform
