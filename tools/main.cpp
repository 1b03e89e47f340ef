// The velkor command: analyses MPEG audio files, or with "tag" rewrites one
// file's ID3v1 tag.
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "tag") {
        return velkor::cli::run_tag_command({args.begin() + 1, args.end()});
    }
    return velkor::cli::run_analyse_command(args);
}
