// Giving a file new tags: the new file written beside the old one and
// renamed over it.
#include "platform/file_rewrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velkor::platform {

RewriteOutcome rewrite_file(const std::string& utf8_path, const FileIdentity& expected, const FileRewrite& rewrite,
                            const RewriteOptions& options) {
    RewriteOutcome outcome;
    FileSource source;
    outcome.problem = source.open_utf8(utf8_path.c_str());
    if (outcome.problem != FileProblem::kNone) return outcome;
    if (source.identity() != expected) {
        outcome.status = RewriteStatus::kChanged;
        return outcome;
    }
#if !defined(_WIN32)
    struct stat old_stat {};
    if (::stat(utf8_path.c_str(), &old_stat) != 0) {
        outcome.problem = problem_of_errno(errno);
        return outcome;
    }
    if (old_stat.st_nlink > 1 && !options.break_links) {
        outcome.status = RewriteStatus::kLinked;
        return outcome;
    }
#endif
    outcome.way = RewriteWay::kReplaced;
    if (options.dry_run) {
        outcome.status = RewriteStatus::kDone;
        return outcome;
    }
    const std::string temporary = utf8_path + ".velkor-new";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        outcome.problem = problem_of_errno(errno);
        return outcome;
    }
    bool ok = std::fwrite(rewrite.head.data(), 1, rewrite.head.size(), out) == rewrite.head.size();
    std::vector<uint8_t> block(64 * 1024);
    for (int64_t at = rewrite.keep_from; ok && at < rewrite.keep_to;) {
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(rewrite.keep_to - at, 64 * 1024));
        const std::size_t got = source.read_at(at, block.data(), want);
        ok = got == want && std::fwrite(block.data(), 1, got, out) == got;
        at += static_cast<int64_t>(got);
    }
    ok = ok && std::fwrite(rewrite.tail.data(), 1, rewrite.tail.size(), out) == rewrite.tail.size();
    ok = std::fflush(out) == 0 && ok;
    const int error = errno;
#if !defined(_WIN32)
    ok = ok && ::fsync(fileno(out)) == 0 && ::fchmod(fileno(out), old_stat.st_mode & 07777) == 0;
#endif
    ok = std::fclose(out) == 0 && ok;
#if defined(_WIN32)
    if (ok) std::remove(utf8_path.c_str());
#endif
    ok = ok && std::rename(temporary.c_str(), utf8_path.c_str()) == 0;
    if (!ok) {
        outcome.problem = problem_of_errno(errno != 0 ? errno : error);
        if (outcome.problem == FileProblem::kNone) outcome.problem = FileProblem::kOther;
        std::remove(temporary.c_str());
        return outcome;
    }
    outcome.status = RewriteStatus::kDone;
    outcome.bytes_written = static_cast<int64_t>(rewrite.head.size() + rewrite.tail.size()) +
                            (rewrite.keep_to - rewrite.keep_from);
    return outcome;
}

}  // namespace velkor::platform
