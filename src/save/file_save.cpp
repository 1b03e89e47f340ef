// The save: checks the file against what was read, picks the way that no
// kill can tear (see file_save.h), and writes it.
#include "save/file_save.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/update_file.h"

namespace velkor {

using platform::FileFacts;
using platform::FileProblem;
using platform::UpdateFile;

namespace {

// A write within one page of this size is done whole or not at all.
constexpr int64_t kPage = 4096;
constexpr int kNameTries = 100;
// Room a temporary name adds to the file's: ".", ".velkor-" and six letters.
constexpr std::size_t kTempExtra = 15;
constexpr std::size_t kNameMax = 255;

uint64_t sum_bytes(uint64_t sum, const uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        sum ^= bytes[i];
        sum *= 0x100000001B3ull;
    }
    return sum;
}

constexpr uint64_t kSumStart = 0xCBF29CE484222325ull;

bool sum_region(ByteSource& source, int64_t from, int64_t to, uint64_t& sum) {
    std::vector<uint8_t> block(static_cast<std::size_t>(std::min<int64_t>(std::max<int64_t>(to - from, 0), 1 << 20)));
    sum = kSumStart;
    for (int64_t at = from; at < to;) {
        const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(to - at, 1 << 20));
        if (source.read(at, block.data(), n) != n) return false;
        sum = sum_bytes(sum, block.data(), n);
        at += static_cast<int64_t>(n);
    }
    return true;
}

// The span of bytes where `a` and `b` (as long) differ: [first, end).
void difference(const uint8_t* a, const uint8_t* b, std::size_t n, std::size_t& first, std::size_t& end) {
    first = 0;
    while (first < n && a[first] == b[first]) ++first;
    end = n;
    while (end > first && a[end - 1] == b[end - 1]) --end;
}

bool within_one_page(int64_t from, int64_t to) { return to > from && from / kPage == (to - 1) / kPage; }

// One change in place: new bytes at an offset (an append when at the old
// end), or a cut to `cut_to`.
struct Step {
    bool needed = false;
    int64_t at = 0;
    const uint8_t* bytes = nullptr;
    std::size_t count = 0;
    std::vector<uint8_t> old;  // what the write covers now, to put back
    int64_t cut_to = -1;
};

struct Way {
    SaveWay way = SaveWay::kReplaced;
    Step head, tail;
    int64_t bytes = 0;
};

// The in-place steps, or a replacement where a change cannot be written
// within one page.
Way choose(const NewFile& file, const std::vector<uint8_t>& old_head, const std::vector<uint8_t>& old_tail,
           int64_t size) {
    Way way;
    const int64_t new_size = static_cast<int64_t>(file.head.size()) + (file.keep_to - file.keep_from) +
                             static_cast<int64_t>(file.tail.size());
    way.bytes = new_size;
    if (static_cast<int64_t>(file.head.size()) != file.keep_from) return way;
    // The head, as long as the old one.
    std::size_t first = 0, end = 0;
    if (!file.head.empty()) {
        difference(old_head.data(), file.head.data(), file.head.size(), first, end);
        if (first < end) {
            if (!within_one_page(static_cast<int64_t>(first), static_cast<int64_t>(end))) return way;
            way.head = {true, static_cast<int64_t>(first), file.head.data() + first, end - first,
                        std::vector<uint8_t>(old_head.begin() + static_cast<std::ptrdiff_t>(first),
                                             old_head.begin() + static_cast<std::ptrdiff_t>(end)),
                        -1};
        }
    }
    // The tail: the same length, grown by bytes behind the old one, or cut.
    const std::size_t common = std::min(old_tail.size(), file.tail.size());
    const bool same_start = std::equal(file.tail.begin(), file.tail.begin() + static_cast<std::ptrdiff_t>(common),
                                       old_tail.begin());
    const int64_t base = file.keep_to;
    if (old_tail.size() == file.tail.size()) {
        difference(old_tail.data(), file.tail.data(), common, first, end);
        if (first < end) {
            const int64_t at = base + static_cast<int64_t>(first);
            if (!within_one_page(at, base + static_cast<int64_t>(end))) return way;
            way.tail = {true, at, file.tail.data() + first, end - first,
                        std::vector<uint8_t>(old_tail.begin() + static_cast<std::ptrdiff_t>(first),
                                             old_tail.begin() + static_cast<std::ptrdiff_t>(end)),
                        -1};
        }
    } else if (same_start && file.tail.size() > old_tail.size()) {
        if (!within_one_page(size, size + static_cast<int64_t>(file.tail.size() - common))) return way;
        way.tail = {true, size, file.tail.data() + common, file.tail.size() - common, {}, -1};
    } else if (same_start) {
        way.tail.needed = true;
        way.tail.cut_to = base + static_cast<int64_t>(file.tail.size());
    } else {
        return way;
    }
    way.way = way.head.needed || way.tail.needed ? SaveWay::kInPlace : SaveWay::kNone;
    way.bytes = static_cast<int64_t>(way.head.count + way.tail.count);
    return way;
}

// One step, put back when it fails.
bool take_step(UpdateFile& file, const Step& step, int64_t size, bool sync) {
    if (!step.needed) return true;
    if (step.cut_to >= 0) return file.resize(step.cut_to) && (!sync || file.sync());
    if (step.at >= size) {
        if (!file.prepare(size, step.at + static_cast<int64_t>(step.count))) return false;
        if (file.write_at(step.at, step.bytes, step.count, sync)) return true;
        if (file.resize(size)) file.sync();
        return false;
    }
    if (file.write_at(step.at, step.bytes, step.count, sync)) return true;
    file.write_at(step.at, step.old.data(), step.old.size());
    return false;
}

FileProblem problem_of(const UpdateFile& file) {
    return file.problem() == FileProblem::kNone ? FileProblem::kOther : file.problem();
}

std::string folder_of(const std::string& path, std::string& name) {
    const std::size_t slash = platform::last_separator(path);
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
    static const uint64_t seed = std::random_device{}();
    uint64_t x = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    x ^= seed << 17;
    x += (calls.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i, x /= 62) suffix += kLetters[x % 62];
    return suffix;
}

// ".NAME.velkor-XXXXXX", the name cut (at a UTF-8 character) so that the
// whole stays within the longest name a folder takes.
std::string temporary_name(const std::string& name) {
    std::size_t keep = std::min(name.size(), kNameMax - kTempExtra);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return "." + name.substr(0, keep) + ".velkor-" + random_suffix();
}

// Writes the new file beside the old one and renames it over the old name
// once it is whole and synced. Whatever fails removes the new file.
SaveOutcome replace(UpdateFile& old_file, const std::string& path, platform::FileLock& lock,
                    const FileFacts& facts, const NewFile& file, int64_t new_size, const SaveOptions& options) {
    SaveOutcome outcome;
    outcome.way = SaveWay::kReplaced;
    std::string name;
    const std::string folder = folder_of(path, name);
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::string temp = folder + temporary_name(name);
        const int slot = platform::note_temporary(temp);
        UpdateFile made(temp, UpdateFile::MakeNew{});
        if (!made.is_open()) {
            platform::forget_temporary(slot);
            if (errno == EEXIST) continue;
            outcome.problem = problem_of(made);
            return outcome;
        }
        const int64_t kept = file.keep_to - file.keep_from;
        const int64_t head = static_cast<int64_t>(file.head.size());
        bool ok = made.lock() && (file.head.empty() || made.write_at(0, file.head.data(), file.head.size(), false)) &&
                  made.copy_from(old_file, file.keep_from, kept, head) &&
                  (file.tail.empty() || made.write_at(head + kept, file.tail.data(), file.tail.size(), false)) &&
                  made.resize(new_size) && made.take_mode_and_owner(facts) && made.take_attributes(old_file) &&
                  (!options.preserve_times || made.take_times(facts)) && made.sync();
        FileProblem problem = made.problem();
        if (ok) {
            // The last look before the rename: the name still holds the
            // file the new one was made from.
            platform::FileSource now;
            if (now.open_utf8(path.c_str()) != FileProblem::kNone || now.identity() != facts.identity) {
                made.close();
                platform::remove_name(temp);
                platform::forget_temporary(slot);
                outcome.status = SaveStatus::kChanged;
                return outcome;
            }
            now.close();
            old_file.close();
            const platform::FileLock old_lock = lock;
            lock.adopt(made);
            problem = platform::rename_over(temp, path);
            ok = problem == FileProblem::kNone;
            if (!ok) lock = old_lock;
        }
        if (!ok) {
            made.close();
            platform::remove_name(temp);
            platform::forget_temporary(slot);
            outcome.problem = problem == FileProblem::kNone ? FileProblem::kOther : problem;
            return outcome;
        }
        platform::forget_temporary(slot);
        platform::sync_folder(folder);
        outcome.status = SaveStatus::kDone;
        outcome.bytes_written = new_size;
        return outcome;
    }
    outcome.problem = FileProblem::kOther;
    return outcome;
}

}  // namespace

bool take_read_state(ByteSource& source, const platform::FileIdentity& identity, int64_t head_end,
                     int64_t tail_begin, ReadState& state) {
    state.identity = identity;
    state.head_end = head_end;
    state.tail_begin = tail_begin;
    return sum_region(source, 0, head_end, state.head_sum) &&
           sum_region(source, tail_begin, identity.size, state.tail_sum);
}

SaveOutcome save_file(const std::string& path, platform::FileLock& lock, const ReadState& read,
                      const NewFile& file, const SaveOptions& options) {
    SaveOutcome outcome;
    if (!lock.held()) {
        const FileProblem problem = lock.acquire(path);
        if (problem != FileProblem::kNone) {
            outcome.problem = problem;
            return outcome;
        }
    }
    UpdateFile opened(path, true);
    FileFacts facts;
    if (!opened.is_open() || !opened.facts(facts)) {
        outcome.problem = problem_of(opened);
        return outcome;
    }
    FileFacts locked;
    if (facts.identity != read.identity || (lock.facts(locked) && !locked.identity.same_file(facts.identity))) {
        outcome.status = SaveStatus::kChanged;
        return outcome;
    }
    const int64_t size = facts.identity.size;
    const bool head_kept = file.keep_from == 0 && file.head.empty();
    if (file.keep_from < 0 || file.keep_from > file.keep_to || file.keep_to != read.tail_begin ||
        read.tail_begin > size || read.head_end > read.tail_begin || (!head_kept && file.keep_from != read.head_end)) {
        outcome.problem = FileProblem::kOther;
        return outcome;
    }
    // The regions replaced must hold what was read.
    std::vector<uint8_t> old_head(static_cast<std::size_t>(read.head_end));
    std::vector<uint8_t> old_tail(static_cast<std::size_t>(size - read.tail_begin));
    if (!opened.read_at(0, old_head.data(), old_head.size()) ||
        !opened.read_at(read.tail_begin, old_tail.data(), old_tail.size())) {
        outcome.problem = problem_of(opened);
        return outcome;
    }
    if (sum_bytes(kSumStart, old_head.data(), old_head.size()) != read.head_sum ||
        sum_bytes(kSumStart, old_tail.data(), old_tail.size()) != read.tail_sum) {
        outcome.status = SaveStatus::kChanged;
        return outcome;
    }
    Way way = choose(file, old_head, old_tail, size);
    // With other names a change in place changes the file under all of
    // them, which is what they share; a replacement would part them.
    const bool linked = facts.links > 1;
    if (way.way == SaveWay::kInPlace && linked && options.break_links) way.way = SaveWay::kReplaced;
    if (way.way == SaveWay::kReplaced) {
        way.bytes = static_cast<int64_t>(file.head.size()) + (file.keep_to - file.keep_from) +
                    static_cast<int64_t>(file.tail.size());
    }
    outcome.way = way.way;
    outcome.bytes_planned = way.bytes;
    if (way.way == SaveWay::kReplaced && linked && !options.break_links) {
        outcome.status = SaveStatus::kLinked;
        return outcome;
    }
    if (options.dry_run || way.way == SaveWay::kNone) {
        outcome.status = SaveStatus::kDone;
        return outcome;
    }
    if (way.way == SaveWay::kInPlace) {
        // The leading tag first, the trailing ones last: a kill between
        // them leaves both whole.
        if (!take_step(opened, way.head, size, options.sync_in_place)) {
            outcome.problem = problem_of(opened);
            return outcome;
        }
        if (!take_step(opened, way.tail, size, options.sync_in_place)) {
            outcome.problem = problem_of(opened);
            if (way.head.needed) {
                take_step(opened, Step{true, way.head.at, way.head.old.data(), way.head.old.size(), {}, -1}, size,
                          true);
            }
            return outcome;
        }
        if (options.preserve_times) opened.take_times(facts);
        // The change is written (and synced unless the caller syncs): a
        // failure the close reports now cannot concern it.
        opened.close();
        outcome.status = SaveStatus::kDone;
        outcome.bytes_written = way.bytes;
        return outcome;
    }
    const SaveOutcome replaced = replace(opened, path, lock, facts, file, way.bytes, options);
    outcome.status = replaced.status;
    outcome.problem = replaced.problem;
    outcome.bytes_written = replaced.bytes_written;
    return outcome;
}

}  // namespace velkor
