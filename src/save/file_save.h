// Writing a user's file: the one code path every save takes (the edit's,
// velkor_write_id3v1's).
//
// The new file is described as new bytes in front (the ID3v2 tag), a range
// of the old file kept as it is (the audio, and any tag not rewritten), and
// new bytes behind (APEv2, Lyrics3 and ID3v1 tags). A save changes the file
// in place only where no kill can tear a tag: each change must lie within
// one 4 KiB page of the file (a write within one page of the page cache is
// done whole or not at all when the process is killed), and is written in
// one call: the changed bytes of the leading tag first, those of the
// trailing tags last. A kill between the two leaves each tag whole, one
// new, one old. A trailing tag cut off is one truncation. Anything larger
// is written as a new file beside the old one (".NAME.velkor-XXXXXX", its
// name shortened to fit), synced, given the old file's owner, mode,
// extended attributes and ACLs, and renamed over the old name in one step,
// so that the name holds the whole old file or the whole new one.
//
// Before writing, under the save lock, the file must still be the one read:
// the same file (device and number), size, modification and status change
// times, and the same bytes in the regions the save replaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "platform/file_lock.h"
#include "platform/file_problem.h"
#include "platform/file_source.h"

namespace velkor {

struct NewFile {
    std::vector<uint8_t> head;  // the new file's first bytes
    int64_t keep_from = 0;      // then the old file's bytes [keep_from, keep_to)
    int64_t keep_to = 0;
    std::vector<uint8_t> tail;  // then these, to the end
};

// The file as a save read it: what it was, and a sum of the bytes of the
// leading tag [0, head_end) and the trailing tags [tail_begin, size).
struct ReadState {
    platform::FileIdentity identity;
    int64_t head_end = 0;
    int64_t tail_begin = 0;
    uint64_t head_sum = 0;
    uint64_t tail_sum = 0;
};

// Reads the two regions from `source` and sums them; false when a read
// falls short.
bool take_read_state(ByteSource& source, const platform::FileIdentity& identity, int64_t head_end,
                     int64_t tail_begin, ReadState& state);

struct SaveOptions {
    // A file with other hard links changes under all its names when the
    // change is in place; one that must be replaced is refused (kLinked)
    // unless this is set: then this name gets the new file.
    bool break_links = false;
    bool dry_run = false;         // only say how the file would be written
    bool sync_in_place = true;    // false: the caller syncs a change in place
    bool preserve_times = false;  // the file keeps its access and modification times
};

enum class SaveStatus : uint8_t { kDone, kChanged, kLinked, kFailed };
enum class SaveWay : uint8_t { kNone, kInPlace, kReplaced };

struct SaveOutcome {
    SaveStatus status = SaveStatus::kFailed;
    platform::FileProblem problem = platform::FileProblem::kNone;
    SaveWay way = SaveWay::kNone;  // taken, or meant when refused or failed
    int64_t bytes_written = 0;
    int64_t bytes_planned = 0;
};

// Gives the file at `path` (resolved: no symbolic link) the new content.
// `lock` holds the file's save lock (taken here when it does not); a
// replacement hands it the new file's.
SaveOutcome save_file(const std::string& path, platform::FileLock& lock, const ReadState& read,
                      const NewFile& file, const SaveOptions& options);

}  // namespace velkor
