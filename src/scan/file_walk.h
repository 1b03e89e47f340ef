// The files a scan analyses, one at a time: each operand as it stands, or,
// for a folder with recursion asked for, the audio files beneath it, depth
// first with each folder's entries sorted by name (bytewise). Links to
// folders are followed only when asked, and never into a folder the walk
// is already in, so a link loop cannot trap it; only the folders on the
// way down are held, so memory does not grow with the number of files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_listing.h"

namespace velkor {

// True for names ending in .mp3, .mp2, .mp1 or .mpga, in any letter case.
bool has_audio_extension(std::string_view name);

class FileWalk {
public:
    // follow_links: go into the folders links lead to; report_skipped: hand
    // out what the walk passes over (see velkor.h) with VELKOR_SKIPPED.
    FileWalk(std::vector<std::string> operands, bool recursive, bool follow_links = false,
             bool report_skipped = false);

    // The next file: true with its path and VELKOR_OK, or with the path of an
    // operand or folder that cannot be walked and the status saying why
    // (a folder without recursion is not a regular file), or of an entry
    // passed over with VELKOR_SKIPPED. False at the end.
    bool next(std::string& path, int32_t& status);

private:
    struct Folder {
        platform::DirectoryListing listing;
        std::size_t next = 0;
        std::size_t path_length;  // of `path_` with this folder's name and a separator
        platform::FolderId id;    // when links are followed
    };
    // Lists the folder at path_ and goes down into it; false with the
    // status when it cannot be listed.
    bool enter(int32_t& status);

    std::vector<std::string> operands_;
    std::size_t next_operand_ = 0;
    bool recursive_;
    bool follow_links_;
    bool report_skipped_;
    std::vector<Folder> folders_;
    std::string path_;
};

}  // namespace velkor
