// The TagLib peer: an in-process loop that reads each file's tag and audio
// properties, as a player or tagger built on TagLib does. Built by
// compare.sh against the system's libtag; not part of the project's build.
//
// usage: taglib_loop FILE_LIST [PASSES]
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_LIST [PASSES]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> paths;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) paths.push_back(line);
    }
    const int passes = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    unsigned long checksum = 0;
    double best = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& path : paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
            if (file.isNull()) continue;
            if (file.tag() != nullptr) checksum += file.tag()->title().size() + file.tag()->year();
            if (file.audioProperties() != nullptr) {
                checksum += file.audioProperties()->bitrate() + file.audioProperties()->lengthInSeconds();
            }
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (best == 0 || elapsed < best) best = elapsed;
    }
    std::printf("taglib files=%zu seconds=%.6f files_per_s=%.1f check=%lu\n", paths.size(), best,
                static_cast<double>(paths.size()) / best, checksum % 10);
    return 0;
}
