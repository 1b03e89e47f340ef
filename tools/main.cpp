// The velkor command: analyses MPEG audio files, or with "tag" changes
// files' tags.
#include <csignal>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli_options.h"
#include "commands.h"
#include "signals.h"
#include "standard_output.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The library's scan analyses files on several threads; by default each
    // would get a heap of its own, and the command's memory would then grow
    // with how many happened to start. A few shared heaps cost no speed here.
    mallopt(M_ARENA_MAX, 4);
    // A file's handle is made on a worker's thread and freed on this one, so
    // the workers' heaps empty and fill in turns: trimmed each time they
    // empty, they had their pages faulted in again for every few files.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool tag = !args.empty() && args.front() == "tag";
    const int status = tag ? velkor::cli::run_tag_command({args.begin() + 1, args.end()})
                           : velkor::cli::run_analyse_command(args);
    const int exit_status = velkor::cli::finish_stdout(status);
    if (exit_status == velkor::cli::kExitInterrupted) velkor::cli::end_by_signal(SIGINT);
    return exit_status;
}
