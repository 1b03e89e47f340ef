// Drives rewrite_file for the failure scripts: kills a process that
// rewrites a file over and over at random moments and checks after each
// kill that the file is exactly its old or its new version (audio
// included), or makes one rewrite for a script that fails its calls.
//
// rewrite_kill SOURCE WORK inplace|replace RUNS [full]
//   RUNS kills of a writer that changes WORK back and forth in the way
//   named; with "full", WORK lies on a full disk, where a change in place
//   must still succeed and a replacement be refused with nothing left.
//   Completed saves must leave no temporary file; killed ones may, and
//   they are counted and removed.
// rewrite_kill SOURCE WORK inplace|replace prepare
//   Writes the old version to WORK and the new one to WORK.new.
// rewrite_kill SOURCE WORK inplace|replace once
//   WORK (the old version) rewritten to the new one: exit 0 when done, 1
//   when refused.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/file_rewrite.h"

namespace {

namespace platform = velkor::platform;
using Bytes = std::vector<uint8_t>;

Bytes load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool store(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

Bytes filled(std::size_t size, unsigned salt) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + salt * 7) % 251);
    return bytes;
}

// One version of the file: a head, the source's bytes as its audio, a tail.
struct Version {
    Bytes head, tail;
    Bytes whole(const Bytes& audio) const {
        Bytes bytes = head;
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    }
};

// From `from` to `to`, keeping the audio.
platform::RewriteOutcome rewrite(const std::string& path, const Version& from, const Version& to, std::size_t audio) {
    platform::FileSource source;
    if (source.open(path.c_str()) != platform::FileProblem::kNone) return platform::RewriteOutcome();
    const platform::FileIdentity identity = source.identity();
    source.close();
    platform::FileRewrite change;
    change.head = to.head;
    change.keep_from = static_cast<int64_t>(from.head.size());
    change.keep_to = change.keep_from + static_cast<int64_t>(audio);
    change.tail = to.tail;
    return platform::rewrite_file(path, identity, change);
}

bool done(const platform::RewriteOutcome& outcome) { return outcome.status == platform::RewriteStatus::kDone; }

// Fills the file system `path` lies on, to its last byte.
void fill_up(const std::string& path) {
    const std::string filler = path + ".filler";
    FILE* file = std::fopen(filler.c_str(), "wb");
    if (!file) return;
    std::setvbuf(file, nullptr, _IONBF, 0);
    const Bytes block(4096, 0);
    while (std::fwrite(block.data(), 1, block.size(), file) == block.size()) {
    }
    while (std::fwrite(block.data(), 1, 1, file) == 1) {
    }
    std::fclose(file);
}

// Temporary files beside `path`: counted, and removed.
int remove_leftovers(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = "." + path.substr(slash + 1) + ".velkor-";
    int count = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
            unlink((folder + "/" + entry->d_name).c_str());
            ++count;
        }
        closedir(dir);
    }
    return count;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: rewrite_kill SOURCE WORK inplace|replace RUNS|prepare|once [full]\n");
        return 2;
    }
    const std::string work = argv[2], way = argv[3];
    const bool once = std::strcmp(argv[4], "once") == 0;
    const bool prepare = std::strcmp(argv[4], "prepare") == 0;
    const bool full = argc > 5 && std::strcmp(argv[5], "full") == 0;
    const int runs = std::atoi(argv[4]);
    const Bytes audio = load(argv[1]);
    if (audio.empty() || (way != "inplace" && way != "replace")) return 2;
    // A change in place writes a new head as long as the old; a
    // replacement grows it.
    const Version old_version{filled(4096, 1), filled(128, 3)};
    const Version new_version{filled(way == "inplace" ? 4096 : 8192, 2), filled(128, 3)};
    const Bytes old_bytes = old_version.whole(audio), new_bytes = new_version.whole(audio);
    const auto expected_way = way == "inplace" ? platform::RewriteWay::kInPlace : platform::RewriteWay::kReplaced;
    if (once) return done(rewrite(work, old_version, new_version, audio.size())) ? 0 : 1;
    if (!store(work, old_bytes)) return 2;
    if (prepare) return store(work + ".new", new_bytes) ? 0 : 2;
    if (full) fill_up(work);

    // Whole saves first: each leaves the expected bytes and no temporary
    // file, and their time sets the range of the kills' moments.
    const bool refused = full && way == "replace";
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) {
        const bool back = i % 2;
        const auto outcome =
            rewrite(work, back ? new_version : old_version, back ? old_version : new_version, audio.size());
        if (outcome.way != expected_way ||
            (refused ? outcome.problem != platform::FileProblem::kNoSpace : !done(outcome))) {
            std::fprintf(stderr, "%s: save %d: status %d, problem %d, way %d\n", way.c_str(), i,
                         static_cast<int>(outcome.status), static_cast<int>(outcome.problem),
                         static_cast<int>(outcome.way));
            return 1;
        }
        if (refused) break;
        if (load(work) != (back ? old_bytes : new_bytes) || remove_leftovers(work) != 0) {
            std::fprintf(stderr, "%s: save %d left wrong bytes or a temporary file\n", way.c_str(), i);
            return 1;
        }
    }
    if (load(work) != old_bytes || remove_leftovers(work) != 0) {
        std::fprintf(stderr, "%s: the refused saves changed the file or left a temporary file\n", way.c_str());
        return 1;
    }
    const long save_us = static_cast<long>(seconds_since(start) / (refused ? 1 : 4) * 1e6) + 1;

    std::mt19937 random(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
    int counts[2] = {0, 0}, left = 0;
    for (int run = 0; run < runs; ++run) {
        const pid_t child = fork();
        if (child < 0) return 2;
        if (child == 0) {
            // Back and forth until killed; a refusal other than the full
            // disk's ends the writer with 3.
            for (bool back = false;;) {
                const auto outcome = rewrite(work, back ? new_version : old_version,
                                             back ? old_version : new_version, audio.size());
                if (refused && outcome.problem == platform::FileProblem::kNoSpace) continue;
                if (!done(outcome)) _exit(3);
                back = !back;
            }
        }
        usleep(static_cast<useconds_t>(random() % static_cast<unsigned long>(3 * save_us)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            std::fprintf(stderr, "%s run %d: the writer ended by itself (wait status %d)\n", way.c_str(), run, status);
            return 1;
        }
        const Bytes now = load(work);
        if (now == old_bytes) {
            ++counts[0];
        } else if (now == new_bytes && !refused) {
            ++counts[1];
            // Back to the old version for the next run, as a whole save.
            if (!done(rewrite(work, new_version, old_version, audio.size()))) return 1;
        } else {
            std::fprintf(stderr, "%s run %d: %zu bytes, neither the old version (%zu) nor the new (%zu)\n",
                         way.c_str(), run, now.size(), old_bytes.size(), new_bytes.size());
            return 1;
        }
        left += remove_leftovers(work);
    }
    std::printf("%s%s: %d kills (moments up to %ld us): %d old, %d new; %d temporary files left by killed saves\n",
                way.c_str(), full ? " (full disk)" : "", runs, 3 * save_us, counts[0], counts[1], left);
    return 0;
}
