// velkor_scan: many files analysed at once, handed out in order.
//
// A disk serves many reads at once far faster than one after the other, so
// a scan keeps several analyses under way: one thread walks the folders and
// numbers the files it finds, worker threads analyse them, and velkor_scan_next
// hands the results out in the walk's order. A ring of slots bounds what is
// held at any time: the walk waits while the ring is full, so memory stays
// the same however many files there are, and a slow reader of the results
// holds everything back rather than letting results pile up. Finished
// results are bounded in bytes too (kMaxHeldBytes, estimated): past it the
// walk and the workers wait, while the reader still analyses the next file
// itself, so one result always gets through.
//
// A walk that fails (out of memory) ends the scan: the results found before
// it are handed out, then the failure, so a reader never takes a scan cut
// short for a finished one.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "interface/file_memory.h"
#include "platform/disk_reads.h"
#include "scan/file_walk.h"
#include "velkor.h"

namespace {

// The options of velkor_file_json a scan's objects may be written with.
constexpr uint32_t kJsonOptions = VELKOR_JSON_JOINED_TEXTS | VELKOR_JSON_FRAMES_APART | VELKOR_JSON_VALUES_ONLY;
// Enough analyses under way to keep a disk's queue full (see the README
// for the figures behind it); more only adds threads.
constexpr int32_t kDefaultThreads = 16;
constexpr int32_t kMaxThreads = 256;
// The most files a worker takes at once.
constexpr uint64_t kMaxTake = 32;
// An analysis slower than this waited for a disk.
constexpr int64_t kSlowFileNs = 100'000;
// What finished results waiting in the ring may hold, estimated: a file
// holds at most about 17 MiB (see Id3v2Tag), a typical one a few KiB.
constexpr std::size_t kMaxHeldBytes = 64u * 1024 * 1024;

// The scan's lock: held for a few instructions at a time, so a thread that
// finds it taken tries again for a moment before it sleeps; sleeping and
// waking cost more than the work it guards.
class ScanMutex {
public:
    void lock() {
        for (int i = 0; i < kTries; ++i) {
            if (mutex_.try_lock()) return;
            std::this_thread::yield();
        }
        mutex_.lock();
    }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    static constexpr int kTries = 16;
    std::mutex mutex_;
};

// The status of the exception being handled, for a failed walk.
int32_t walk_failure() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

struct Slot {
    enum State { kEmpty, kWaiting, kWorking, kDone };
    State state = kEmpty;
    std::string path;
    int32_t status = VELKOR_OK;
    velkor_file* file = nullptr;
    std::size_t held = 0;  // what file holds, while it waits in the ring
};

}  // namespace

struct velkor_scan {
    velkor_scan(std::vector<std::string> operands, uint32_t options, int32_t threads)
        : walk(std::move(operands), (options & VELKOR_SCAN_RECURSIVE) != 0, (options & VELKOR_SCAN_FOLLOW_LINKS) != 0,
               (options & VELKOR_SCAN_REPORT_SKIPPED) != 0),
          // Its JSON reads every frame: while the file is open, not again after.
          open_options((options & (VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO | VELKOR_OPEN_ALL_FRAMES)) |
                       ((options & VELKOR_SCAN_JSON) != 0 ? VELKOR_OPEN_ALL_FRAMES : 0u)),
          json((options & VELKOR_SCAN_JSON) != 0),
          json_options(options >> 16),
          paths_only((options & VELKOR_SCAN_PATHS_ONLY) != 0),
          ring(static_cast<std::size_t>(std::max(256, threads * 16))),
          thread_count(threads) {}

    ~velkor_scan() {
        {
            std::lock_guard<ScanMutex> lock(mutex);
            stopping = true;
        }
        room.notify_all();
        work.notify_all();
        // The walk starts the workers: once it has ended, their list is final.
        if (walker.joinable()) walker.join();
        for (std::thread& worker : workers) worker.join();
        for (Slot& slot : ring) velkor_close(slot.file);
    }

    void start() {
        // One at a time on the caller's thread; a walk alone gains nothing
        // from threads.
        if (thread_count <= 1 || paths_only) return;
        // Workers are started as the files call for them (see walk_files):
        // one file needs none, files in memory need no more than the cores.
        walker = std::thread([this] { walk_files(); });
    }

    Slot& slot_of(uint64_t number) { return ring[number % ring.size()]; }

    // The walk: numbers the files and waits for room in the ring. Files go
    // in many at a time, for fewer turns at the lock. A walk that fails
    // ends there, its failure kept for the reader behind the files found.
    void walk_files() {
        constexpr std::size_t kBatch = 64;
        std::vector<std::pair<std::string, int32_t>> batch;
        int32_t failed = VELKOR_OK;
        for (bool more = true; more;) {
            std::size_t count = 0;
            try {
                batch.resize(kBatch);  // the first time round
                while (count < kBatch && (more = walk.next(batch[count].first, batch[count].second))) ++count;
            } catch (...) {
                more = false;
                failed = walk_failure();
            }
            std::unique_lock<ScanMutex> lock(mutex);
            for (std::size_t i = 0; i < count; ++i) {
                if (found - given >= ring.size() || waiting_bytes >= kMaxHeldBytes) {
                    // Wait for half the ring to be free, then fill it: one
                    // wake-up for many files.
                    walk_waiting = true;
                    room.wait(lock, [&] { return stopping || has_room(); });
                    walk_waiting = false;
                }
                if (stopping) return;
                Slot& slot = slot_of(found++);
                slot.path.swap(batch[i].first);
                slot.status = batch[i].second;
                slot.state = slot.status == VELKOR_OK ? Slot::kWaiting : Slot::kDone;
            }
            if (!more) {
                walk_done = true;
                failure = failed;
            }
            // Wake only who waits: a wake-up costs more than a warm
            // analysis. Another worker only when the files waiting outnumber
            // those at work: warm files go faster than wake-ups, while slow
            // reads (a cold disk) let the files pile up and bring all in.
            if (reader_waiting) ready.notify_one();
            const uint64_t waiting = found - std::max(claimed, given);
            const uint64_t busy = static_cast<uint64_t>(started - idle_workers);
            // Files that come from memory take microseconds: more threads
            // than cores then only take turns. Files that wait for a disk
            // want every thread there is.
            const uint64_t limit = average_ns > kSlowFileNs ? static_cast<uint64_t>(thread_count) : cores;
            const uint64_t wanted =
                std::min<uint64_t>(waiting > busy ? waiting - busy : 0, limit > busy ? limit - busy : 0);
            const uint64_t woken = std::min<uint64_t>(wanted, static_cast<uint64_t>(idle_workers));
            for (uint64_t i = 0; i < woken; ++i) work.notify_one();
            for (uint64_t i = woken; i < wanted && started < thread_count; ++i) start_worker();
        }
        work.notify_all();
        ready.notify_all();
    }

    // A new worker, if the system lets us have another thread; without any
    // the reader analyses every file itself.
    void start_worker() {
        try {
            workers.emplace_back([this] { analyse_files(); });
            ++started;
        } catch (...) {
            thread_count = started;
        }
    }

    // A worker: takes the files in their order and analyses them.
    void analyse_files() {
        std::unique_lock<ScanMutex> lock(mutex);
        for (;;) {
            if (!(stopping || claimed < found || walk_done)) {
                ++idle_workers;
                work.wait(lock, [&] { return stopping || claimed < found || walk_done; });
                --idle_workers;
            }
            if (stopping) return;
            // Results already handed out need no work; nor do problems.
            claimed = std::max(claimed, given);
            while (claimed < found && slot_of(claimed).state != Slot::kWaiting) ++claimed;
            if (claimed == found) {
                if (walk_done) return;
                continue;
            }
            // A few files at a time: fewer turns at the lock and fewer
            // wake-ups, while enough stay for the other workers.
            const uint64_t waiting = found - claimed;
            const uint64_t take = std::max<uint64_t>(1, std::min<uint64_t>(kMaxTake, waiting / static_cast<uint64_t>(std::max(1, started))));
            uint64_t end = claimed;
            while (end < found && end - claimed < take && slot_of(end).state == Slot::kWaiting) {
                slot_of(end++).state = Slot::kWorking;
            }
            const uint64_t first = claimed;
            claimed = end;
            for (uint64_t number = first; number < end; ++number) {
                if (waiting_bytes >= kMaxHeldBytes && number != given) {
                    // Memory is full: the rest go back, for the reader to
                    // take in turn.
                    for (uint64_t back = number; back < end; ++back) slot_of(back).state = Slot::kWaiting;
                    claimed = std::min(claimed, number);
                    ++idle_workers;
                    work.wait(lock, [&] { return stopping || waiting_bytes < kMaxHeldBytes; });
                    --idle_workers;
                    break;
                }
                analyse(number, lock);
            }
        }
    }

    // Whether the walk may go on: half the ring free, and the results
    // waiting within their bytes.
    bool has_room() const { return found - given <= ring.size() / 2 && waiting_bytes < kMaxHeldBytes; }

    // Analyses file `number`, waiting, with the lock held on the way in and
    // out but not during the analysis.
    void analyse(uint64_t number, std::unique_lock<ScanMutex>& lock) {
        Slot& slot = slot_of(number);
        slot.state = Slot::kWorking;  // (already, when a worker took it)
        // Its path is read without the lock, and not copied (a copy could
        // throw on a worker's thread): a slot at work is this thread's
        // alone, as the walk fills only slots the reader has freed.
        const char* const path = slot.path.c_str();
        lock.unlock();
        velkor_file* file = nullptr;
        const auto start = std::chrono::steady_clock::now();
        const int32_t status = open(path, file);  // never throws
        int64_t took = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
        // A slow analysis that read nothing from a disk waited for the
        // processor: more threads would only take turns at it.
        if (took > kSlowFileNs && !velkor::platform::read_from_disk_since_asked()) took = kSlowFileNs;
        lock.lock();
        average_ns += (took - average_ns) / 32;
        slot.file = file;
        slot.held = velkor::held_bytes(file);
        waiting_bytes += slot.held;
        slot.status = status;
        slot.state = Slot::kDone;
        if (number == given && reader_waiting) ready.notify_one();
    }

    // The next result in order: 1 with it, 0 at the end, -1 with the
    // walk's failure in status.
    int32_t next(const char*& path, velkor_file*& file, int32_t& status) {
        if (thread_count <= 1 || paths_only) return next_here(path, file, status);
        std::unique_lock<ScanMutex> lock(mutex);
        // The slot handed out last is free again.
        if (handed_out) {
            Slot& last = slot_of(given++);
            last.state = Slot::kEmpty;
            last.file = nullptr;
            handed_out = false;
            const bool was_full = waiting_bytes >= kMaxHeldBytes;
            waiting_bytes -= last.held;
            last.held = 0;
            if (was_full && waiting_bytes < kMaxHeldBytes) work.notify_all();
            if (walk_waiting && has_room()) room.notify_one();
        }
        const auto has_next = [&] {
            return (given < found && slot_of(given).state == Slot::kDone) || (walk_done && given == found);
        };
        const auto unclaimed = [&] { return given < found && slot_of(given).state == Slot::kWaiting; };
        while (!has_next()) {
            if (unclaimed()) {
                // The next file is not taken yet: analysing it here costs
                // less than waking a worker and waiting for it.
                analyse(given, lock);
                continue;
            }
            reader_waiting = true;
            ready.wait(lock, [&] { return has_next() || unclaimed(); });
            reader_waiting = false;
        }
        if (given == found) {
            status = failure;
            return failure == VELKOR_OK ? 0 : -1;
        }
        Slot& slot = slot_of(given);
        handed_out = true;
        path = slot.path.c_str();
        file = slot.file;
        slot.file = nullptr;  // the caller's now
        status = slot.status;
        return 1;
    }

    // One thread: the walk and each analysis when asked for.
    int32_t next_here(const char*& path, velkor_file*& file, int32_t& status) {
        Slot& slot = ring[0];
        bool more = false;
        if (failure == VELKOR_OK) {
            try {
                more = walk.next(slot.path, slot.status);
            } catch (...) {
                failure = walk_failure();
            }
        }
        if (!more) {
            status = failure;
            return failure == VELKOR_OK ? 0 : -1;
        }
        slot.file = nullptr;
        if (slot.status == VELKOR_OK && !paths_only) slot.status = open(slot.path.c_str(), slot.file);
        path = slot.path.c_str();
        file = slot.file;
        slot.file = nullptr;  // the caller's now
        status = slot.status;
        return 1;
    }

    // Analyses the file at path, and writes its JSON object when asked to:
    // here, on a worker's thread, rather than on the caller's after it. A
    // JSON failure is left for the caller's own call to meet.
    int32_t open(const char* path, velkor_file*& file) const {
        const int32_t status = velkor_open(path, open_options, &file);
        if (file != nullptr && json) {
            const char* text = nullptr;
            std::size_t size = 0;
            velkor_file_json(file, nullptr, json_options, &text, &size);
        }
        return status;
    }

    velkor::FileWalk walk;
    uint32_t open_options;
    bool json;
    uint32_t json_options;
    bool paths_only;
    std::vector<Slot> ring;
    int32_t thread_count;
    std::thread walker;
    std::vector<std::thread> workers;  // started by the walk, under the lock
    int32_t started = 0;

    ScanMutex mutex;
    std::condition_variable_any room;   // the walk waits for a free slot
    std::condition_variable_any work;   // workers wait for files
    std::condition_variable_any ready;  // the reader waits for the next result
    uint64_t found = 0;    // files numbered by the walk
    uint64_t claimed = 0;  // files a worker took (or passed over: nothing to analyse)
    uint64_t given = 0;    // results handed out and done with
    std::size_t waiting_bytes = 0;  // what the finished results not yet handed out hold
    bool handed_out = false;
    bool walk_done = false;
    bool walk_waiting = false;
    bool reader_waiting = false;
    int32_t idle_workers = 0;
    // How long an analysis takes, on average over the last few dozen; a scan
    // starts out as if the files were in memory, and the first slow reads
    // bring in more threads.
    int64_t average_ns = 0;
    const uint64_t cores = std::max<uint64_t>(1, std::thread::hardware_concurrency());
    bool stopping = false;
    int32_t failure = VELKOR_OK;  // the walk's, once it has ended
};

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_scan_open(const char* const* paths, int32_t count, uint32_t options, int32_t threads,
                                  velkor_scan** scan) {
    if (scan == nullptr) return VELKOR_ERROR_ARGUMENT;
    *scan = nullptr;
    if ((paths == nullptr && count > 0) || count < 0 || threads < 0 || threads > kMaxThreads ||
        (options & ~(VELKOR_SCAN_RECURSIVE | VELKOR_SCAN_PATHS_ONLY | VELKOR_SCAN_FOLLOW_LINKS |
                     VELKOR_SCAN_REPORT_SKIPPED | VELKOR_SCAN_JSON | VELKOR_SCAN_JSON_OPTIONS(kJsonOptions) |
                     VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO | VELKOR_OPEN_ALL_FRAMES)) != 0) {
        return VELKOR_ERROR_ARGUMENT;
    }
    try {
        std::vector<std::string> operands;
        for (int32_t i = 0; i < count; ++i) {
            if (paths[i] == nullptr) return VELKOR_ERROR_ARGUMENT;
            operands.emplace_back(paths[i]);
        }
        std::unique_ptr<velkor_scan> made(new velkor_scan(std::move(operands), options, threads == 0 ? kDefaultThreads : threads));
        made->start();
        *scan = made.release();
        return VELKOR_OK;
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_NO_MEMORY;  // no thread could be started
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_scan_next(velkor_scan* scan, const char** path, velkor_file** file, int32_t* status) {
    if (path != nullptr) *path = nullptr;
    if (file != nullptr) *file = nullptr;
    if (status != nullptr) *status = VELKOR_ERROR_ARGUMENT;
    if (scan == nullptr || path == nullptr || file == nullptr || status == nullptr) return -1;
    *status = VELKOR_OK;
    try {
        return scan->next(*path, *file, *status);
    } catch (...) {
        // Only the lock can throw here, and only when the system is out of
        // resources.
        *status = VELKOR_ERROR_NO_MEMORY;
        return -1;
    }
}

VELKOR_API void VELKOR_CALL velkor_scan_close(velkor_scan* scan) { delete scan; }

}  // extern "C"
