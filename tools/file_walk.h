// Turns the command's operands into the files to analyse, walking
// directories when asked, in a stable order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::cli {

// What the walk hands on for each operand or file found; valid only during
// the call.
struct WalkItem {
    const std::string& path;
    // Empty for a file to analyse; otherwise why the operand cannot be
    // analysed (a directory without -r, a directory that cannot be read).
    const std::string& problem;
};

// Hands each operand, or each file found, to visit, in order. Without
// recursive a directory operand is a problem; with it, the directory is
// walked depth first with the entries of each directory sorted by name
// (bytewise), taking regular files with an MPEG audio extension. Symbolic
// links to directories are not followed, so a link loop cannot trap the
// walk. Only the names of the directories on the way down are held, so
// memory does not grow with the number of files.
void walk_files(const std::vector<std::string>& operands, bool recursive,
                const std::function<void(const WalkItem&)>& visit);

// True for names ending in .mp3, .mp2, .mp1 or .mpga, in any letter case.
bool has_audio_extension(std::string_view name);

}  // namespace velkor::cli
