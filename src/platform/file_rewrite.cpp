// Giving a file new tags: the choice between a change in place and a
// replacement, each done so that a process killed at any moment leaves the
// whole old file or the whole new one under the file's name.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // sizes and offsets past 2 GiB on 32-bit systems too
#endif

#include "platform/file_rewrite.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/update_file.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/wide_text.h"
#else
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace velkor::platform {

namespace {

// Old bytes a cut removes are read first, to be put back should the cut
// fail; beyond this many the file is replaced instead.
constexpr int64_t kCutLimit = int64_t{16} << 20;

constexpr int kNameTries = 100;

// The way a rewrite takes, worked out from the old file's bytes.
struct Plan {
    RewriteWay way = RewriteWay::kReplaced;
    enum class Step : uint8_t { kNone, kHead, kTail, kAppend, kCut, kReplace } step = Step::kReplace;
    std::vector<uint8_t> old_head;  // the old bytes [0, keep_from) when as long as the new head
    std::vector<uint8_t> old_tail;  // the old bytes from keep_to, as many as the step needs
    int64_t bytes = 0;              // what the step writes
};

bool equal(const std::vector<uint8_t>& a, const uint8_t* b, std::size_t n) {
    return a.size() >= n && (n == 0 || std::memcmp(a.data(), b, n) == 0);
}

// Reads what telling the ways apart needs: the old head when the new one is
// as long, and the old tail as far as the new one reaches (or as far as a
// cut removes). Bounded by the new parts' sizes and kCutLimit.
bool make_plan(UpdateFile& file, int64_t size, const FileRewrite& rewrite, bool in_place_allowed, Plan& plan) {
    const auto& head = rewrite.head;
    const auto& tail = rewrite.tail;
    const int64_t new_size = static_cast<int64_t>(head.size()) + (rewrite.keep_to - rewrite.keep_from) +
                             static_cast<int64_t>(tail.size());
    plan.bytes = new_size;
    if (static_cast<int64_t>(head.size()) != rewrite.keep_from) return true;
    plan.old_head.resize(head.size());
    if (!file.read_at(0, plan.old_head.data(), head.size())) return false;
    const bool same_head = plan.old_head == head;

    const int64_t old_tail = size - rewrite.keep_to;
    const int64_t new_tail = static_cast<int64_t>(tail.size());
    const int64_t wanted = old_tail <= new_tail || old_tail - new_tail <= kCutLimit ? old_tail : new_tail;
    plan.old_tail.resize(static_cast<std::size_t>(std::min(wanted, old_tail)));
    if (!file.read_at(rewrite.keep_to, plan.old_tail.data(), plan.old_tail.size())) return false;
    const std::size_t common = static_cast<std::size_t>(std::min(old_tail, new_tail));
    const bool same_start = equal(plan.old_tail, tail.data(), common);
    const bool same_tail = same_start && old_tail == new_tail;

    using Step = Plan::Step;
    Step step = Step::kReplace;
    if (same_head && same_tail) {
        step = Step::kNone;
    } else if (same_tail) {
        step = Step::kHead;
    } else if (same_head && old_tail == new_tail) {
        step = Step::kTail;
    } else if (same_head && same_start && old_tail < new_tail) {
        step = Step::kAppend;
    } else if (same_head && same_start && static_cast<int64_t>(plan.old_tail.size()) == old_tail) {
        step = Step::kCut;
    }
    if (step == Step::kNone) {
        plan.way = RewriteWay::kNone;
        plan.bytes = 0;
    } else if (step != Step::kReplace && in_place_allowed) {
        plan.way = RewriteWay::kInPlace;
        plan.bytes = step == Step::kHead     ? static_cast<int64_t>(head.size())
                     : step == Step::kTail   ? new_tail
                     : step == Step::kAppend ? new_tail - old_tail
                                             : 0;
    } else {
        step = Step::kReplace;
    }
    plan.step = step;
    return true;
}

// The one write or cut of a change in place, undone when it fails.
bool change_in_place(UpdateFile& file, int64_t size, const FileRewrite& rewrite, const Plan& plan, bool sync) {
    const auto& tail = rewrite.tail;
    switch (plan.step) {
        case Plan::Step::kHead:
            if (file.write_at(0, rewrite.head.data(), rewrite.head.size(), sync)) return true;
            file.write_at(0, plan.old_head.data(), plan.old_head.size());
            return false;
        case Plan::Step::kTail:
            if (file.write_at(rewrite.keep_to, tail.data(), tail.size(), sync)) return true;
            file.write_at(rewrite.keep_to, plan.old_tail.data(), plan.old_tail.size());
            return false;
        case Plan::Step::kAppend: {
            const std::size_t old_tail = static_cast<std::size_t>(size - rewrite.keep_to);
            if (!file.prepare(size, size + plan.bytes)) return false;
            if (file.write_at(size, tail.data() + old_tail, tail.size() - old_tail, sync)) return true;
            if (file.resize(size)) file.sync();
            return false;
        }
        case Plan::Step::kCut: {
            const int64_t end = rewrite.keep_to + static_cast<int64_t>(tail.size());
            if (file.resize(end) && (!sync || file.sync())) return true;
            file.write_at(end, plan.old_tail.data() + tail.size(), plan.old_tail.size() - tail.size());
            return false;
        }
        default:
            return true;
    }
}

std::string folder_of(const std::string& path, std::string& name) {
#if defined(_WIN32)
    const std::size_t slash = path.find_last_of("/\\:");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos) {
        name = path;
        return std::string();
    }
    name = path.substr(slash + 1);
    return path.substr(0, slash + 1);
}

// Six letters or digits that differ between calls, threads and processes;
// the exclusive create settles any clash.
std::string random_suffix() {
    static std::atomic<uint64_t> calls{0};
    uint64_t x = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    x ^= static_cast<uint64_t>(GetCurrentProcessId()) << 32;
#else
    x ^= static_cast<uint64_t>(getpid()) << 32;
#endif
    x += (calls.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i, x /= 62) suffix += kLetters[x % 62];
    return suffix;
}

#if defined(_WIN32)

bool remove_file(const std::string& path) {
    std::wstring wide;
    return utf8_to_wide(path.c_str(), wide) && DeleteFileW(wide.c_str());
}

// The name already taken: try another.
bool name_taken(FileProblem) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Moves the new file over the old name in one step. The old file's
// attributes (hidden, archive) go over to it first.
FileProblem replace_file(const std::string& temp, const std::string& path) {
    std::wstring wide_temp, wide_path;
    if (!utf8_to_wide(temp.c_str(), wide_temp) || !utf8_to_wide(path.c_str(), wide_path)) {
        return FileProblem::kNotFound;
    }
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(wide_temp.c_str(), attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE |
                                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    }
    if (MoveFileExW(wide_temp.c_str(), wide_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return FileProblem::kNone;
    }
    const FileProblem problem = problem_of_system_error(GetLastError());
    return problem == FileProblem::kNone ? FileProblem::kOther : problem;
}

// MOVEFILE_WRITE_THROUGH has made the new name lasting.
void sync_folder(const std::string&) {}

#else

bool remove_file(const std::string& path) { return unlink(path.c_str()) == 0; }

bool name_taken(FileProblem) { return errno == EEXIST; }

FileProblem replace_file(const std::string& temp, const std::string& path) {
    if (::rename(temp.c_str(), path.c_str()) == 0) return FileProblem::kNone;
    const FileProblem problem = problem_of_errno(errno);
    return problem == FileProblem::kNone ? FileProblem::kOther : problem;
}

// Makes the new name lasting. A failure here is not the rewrite's: the
// name already holds the whole new file.
void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

#endif

// Writes the new file beside the old one, then renames it over the old
// name once it is whole and synced and the old file is still the one
// expected. Whatever fails removes the new file.
RewriteOutcome replace(UpdateFile& old_file, const std::string& path, const FileIdentity& expected,
                       const FileFacts& facts, const FileRewrite& rewrite, int64_t new_size) {
    RewriteOutcome outcome;
    outcome.way = RewriteWay::kReplaced;
    std::string name;
    const std::string folder = folder_of(path, name);
    std::string temp;
    FileProblem problem = FileProblem::kOther;
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        temp = folder + "." + name + ".velkor-" + random_suffix();
        UpdateFile made(temp, UpdateFile::MakeNew{});
        if (!made.is_open()) {
            problem = made.problem();
            if (name_taken(problem)) continue;
            outcome.problem = problem;
            return outcome;
        }
        const int64_t kept = rewrite.keep_to - rewrite.keep_from;
        const int64_t tail_at = static_cast<int64_t>(rewrite.head.size()) + kept;
        bool ok = made.prepare(0, new_size) &&
                  (rewrite.head.empty() || made.write_at(0, rewrite.head.data(), rewrite.head.size(), false)) &&
                  made.copy_from(old_file, rewrite.keep_from, kept, static_cast<int64_t>(rewrite.head.size())) &&
                  (rewrite.tail.empty() || made.write_at(tail_at, rewrite.tail.data(), rewrite.tail.size(), false)) &&
                  made.take_mode_and_owner(facts) && made.sync();
        problem = made.problem();
        if (!made.close() && ok) {
            ok = false;
            problem = made.problem();
        }
        outcome.bytes_written = ok ? new_size : 0;
        if (ok) {
            // The last look before the rename: the name still holds the
            // file the new one was made from.
            FileSource now;
            if (now.open_utf8(path.c_str()) != FileProblem::kNone || now.identity() != expected) {
                remove_file(temp);
                outcome.status = RewriteStatus::kChanged;
                return outcome;
            }
            now.close();
            old_file.close();
            problem = replace_file(temp, path);
            ok = problem == FileProblem::kNone;
        }
        if (!ok) {
            remove_file(temp);
            outcome.problem = problem == FileProblem::kNone ? FileProblem::kOther : problem;
            return outcome;
        }
        sync_folder(folder);
        outcome.status = RewriteStatus::kDone;
        return outcome;
    }
    outcome.problem = FileProblem::kOther;
    return outcome;
}

}  // namespace

RewriteOutcome rewrite_file(const std::string& utf8_path, const FileIdentity& expected, const FileRewrite& rewrite,
                            const RewriteOptions& options) {
    RewriteOutcome outcome;
    UpdateFile file(utf8_path, true);
    FileFacts facts;
    if (!file.is_open() || !file.facts(facts)) {
        outcome.problem = file.problem() == FileProblem::kNone ? FileProblem::kOther : file.problem();
        return outcome;
    }
    if (facts.identity != expected) {
        outcome.status = RewriteStatus::kChanged;
        return outcome;
    }
    const int64_t size = facts.identity.size;
    if (rewrite.keep_from < 0 || rewrite.keep_from > rewrite.keep_to || rewrite.keep_to > size) {
        outcome.problem = FileProblem::kOther;
        return outcome;
    }
    // With other names, a change in place changes the file under all of
    // them, which is what they share; a replacement would part them.
    const bool linked = facts.links > 1;
    Plan plan;
    if (!make_plan(file, size, rewrite, !(linked && options.break_links), plan)) {
        outcome.problem = file.problem();
        return outcome;
    }
    outcome.way = plan.way;
    outcome.bytes_planned = plan.bytes;
    if (plan.way == RewriteWay::kReplaced && linked && !options.break_links) {
        outcome.status = RewriteStatus::kLinked;
        return outcome;
    }
    if (options.dry_run || plan.way == RewriteWay::kNone) {
        outcome.status = RewriteStatus::kDone;
        return outcome;
    }
    if (plan.way == RewriteWay::kInPlace) {
        if (!change_in_place(file, size, rewrite, plan, options.sync_in_place)) {
            outcome.problem = file.problem() == FileProblem::kNone ? FileProblem::kOther : file.problem();
            return outcome;
        }
        // The change is written (and synced unless the caller syncs): a
        // failure the close reports now cannot concern it.
        file.close();
        outcome.status = RewriteStatus::kDone;
        outcome.bytes_written = plan.bytes;
        return outcome;
    }
    const RewriteOutcome replaced = replace(file, utf8_path, expected, facts, rewrite, plan.bytes);
    outcome.status = replaced.status;
    outcome.problem = replaced.problem;
    outcome.bytes_written = replaced.bytes_written;
    return outcome;
}

}  // namespace velkor::platform
