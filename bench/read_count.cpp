// How much the analysis reads: loads each listed file once and prints the
// bytes and reads per file, from the loader's own count. With --opened the
// files are analysed as velkor_open analyses them (the tags whole, frames
// sampled when no VBR header gives the stream's figures).
//
// usage: velkor_read_count [--opened] FILE_LIST
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/file_source.h"
#include "stream/mp3_file_info.h"

int main(int argc, char** argv) {
    const bool opened = argc > 2 && std::strcmp(argv[1], "--opened") == 0;
    if (argc < 2 + opened) {
        std::fprintf(stderr, "usage: %s [--opened] FILE_LIST\n", argv[0]);
        return 2;
    }
    velkor::LoadOptions options;
    options.full = opened;
    options.sample_frames = opened;
    std::ifstream list(argv[1 + opened]);
    uint64_t files = 0, failed = 0, bytes = 0, reads = 0, max_bytes = 0;
    for (std::string path; std::getline(list, path);) {
        if (path.empty()) continue;
        velkor::platform::ReadCounter& counter = velkor::platform::FileSource::thread_counter();
        counter = {};
        velkor::Mp3FileInfo info;
        velkor::platform::FileSource file;
        failed += file.open(path.c_str()) != velkor::platform::FileProblem::kNone ||
                  info.analyse(file, file.size(), path.c_str(), options) != velkor::kStatusOk;
        ++files;
        bytes += counter.bytes;
        reads += counter.reads;
        max_bytes = std::max(max_bytes, counter.bytes);
    }
    if (files == 0) return 2;
    std::printf("read_count files=%llu failed=%llu bytes_per_file=%.0f max_bytes=%llu reads_per_file=%.2f\n",
                static_cast<unsigned long long>(files), static_cast<unsigned long long>(failed),
                static_cast<double>(bytes) / static_cast<double>(files),
                static_cast<unsigned long long>(max_bytes),
                static_cast<double>(reads) / static_cast<double>(files));
    return 0;
}
