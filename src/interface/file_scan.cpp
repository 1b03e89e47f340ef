// VkScan: many files analysed at once, handed out in order.
//
// A disk serves many reads at once far faster than one after the other, so
// a scan keeps several analyses under way: one thread walks the folders and
// numbers the files it finds, worker threads analyse them, and VkScanNext
// hands the results out in the walk's order. A ring of slots bounds what is
// held at any time: the walk waits while the ring is full, so memory stays
// the same however many files there are, and a slow reader of the results
// holds everything back rather than letting results pile up.
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "interface/file_walk.h"
#include "velkor.h"

namespace {

// Enough analyses under way to keep a disk's queue full (see the README
// for the figures behind it); more only adds threads.
constexpr int32_t kDefaultThreads = 16;
constexpr int32_t kMaxThreads = 256;

struct Slot {
    enum State { kEmpty, kWaiting, kWorking, kDone };
    State state = kEmpty;
    std::string path;
    int32_t status = VK_OK;
    VkFile* file = nullptr;
};

}  // namespace

struct VkScan {
    VkScan(std::vector<std::string> operands, uint32_t options, int32_t threads)
        : walk(std::move(operands), (options & VK_SCAN_RECURSIVE) != 0),
          open_options(options & VK_OPEN_COUNT_FRAMES),
          ring(static_cast<std::size_t>(std::max(64, threads * 8))),
          thread_count(threads) {}

    ~VkScan() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        room.notify_all();
        work.notify_all();
        for (std::thread& thread : threads) thread.join();
        for (Slot& slot : ring) VkFileClose(slot.file);
    }

    void start() {
        if (thread_count <= 1) return;  // one at a time, on the caller's thread
        threads.emplace_back([this] { walk_files(); });
        for (int32_t i = 0; i < thread_count; ++i) threads.emplace_back([this] { analyse_files(); });
    }

    Slot& slot_of(uint64_t number) { return ring[number % ring.size()]; }

    // The walk: numbers each file and waits for room in the ring. A walk
    // that runs out of memory ends there.
    void walk_files() {
        std::string path;
        int32_t status;
        for (;;) {
            bool more = false;
            try {
                more = walk.next(path, status);
            } catch (...) {
            }
            std::unique_lock<std::mutex> lock(mutex);
            if (!more) {
                walk_done = true;
                break;
            }
            if (found - given >= ring.size()) {
                walk_waiting = true;
                room.wait(lock, [&] { return stopping || found - given < ring.size(); });
                walk_waiting = false;
            }
            if (stopping) return;
            Slot& slot = slot_of(found++);
            slot.path.swap(path);
            slot.status = status;
            slot.state = status == VK_OK ? Slot::kWaiting : Slot::kDone;
            // Wake only who waits: a wake-up costs more than a warm analysis.
            if (slot.state == Slot::kDone && reader_waiting) ready.notify_one();
            if (slot.state == Slot::kWaiting && idle_workers > 0) work.notify_one();
        }
        work.notify_all();
        ready.notify_all();
    }

    // A worker: takes the files in their order and analyses them.
    void analyse_files() {
        std::unique_lock<std::mutex> lock(mutex);
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
            const uint64_t number = claimed++;
            Slot& slot = slot_of(number);
            slot.state = Slot::kWorking;
            const std::string path = slot.path;
            lock.unlock();
            VkFile* file = nullptr;
            const int32_t status = VkFileOpen(path.c_str(), open_options, &file);  // never throws
            lock.lock();
            slot.file = file;
            slot.status = status;
            slot.state = Slot::kDone;
            if (number == given && reader_waiting) ready.notify_one();
        }
    }

    // The next result in order; false at the end.
    bool next(const char*& path, VkFile*& file, int32_t& status) {
        if (thread_count <= 1) return next_here(path, file, status);
        std::unique_lock<std::mutex> lock(mutex);
        // The slot handed out last is free again.
        if (handed_out) {
            Slot& last = slot_of(given++);
            last.state = Slot::kEmpty;
            last.file = nullptr;
            handed_out = false;
            if (walk_waiting) room.notify_one();
        }
        const auto has_next = [&] {
            return (given < found && slot_of(given).state == Slot::kDone) || (walk_done && given == found);
        };
        if (!has_next()) {
            reader_waiting = true;
            ready.wait(lock, has_next);
            reader_waiting = false;
        }
        if (given == found) return false;
        Slot& slot = slot_of(given);
        handed_out = true;
        path = slot.path.c_str();
        file = slot.file;
        slot.file = nullptr;  // the caller's now
        status = slot.status;
        return true;
    }

    // One thread: the walk and each analysis when asked for.
    bool next_here(const char*& path, VkFile*& file, int32_t& status) {
        Slot& slot = ring[0];
        if (!walk.next(slot.path, slot.status)) return false;
        slot.file = nullptr;
        if (slot.status == VK_OK) slot.status = VkFileOpen(slot.path.c_str(), open_options, &slot.file);
        path = slot.path.c_str();
        file = slot.file;
        slot.file = nullptr;  // the caller's now
        status = slot.status;
        return true;
    }

    velkor::FileWalk walk;
    uint32_t open_options;
    std::vector<Slot> ring;
    int32_t thread_count;
    std::vector<std::thread> threads;

    std::mutex mutex;
    std::condition_variable room;   // the walk waits for a free slot
    std::condition_variable work;   // workers wait for files
    std::condition_variable ready;  // the reader waits for the next result
    uint64_t found = 0;    // files numbered by the walk
    uint64_t claimed = 0;  // files a worker took (or passed over: nothing to analyse)
    uint64_t given = 0;    // results handed out and done with
    bool handed_out = false;
    bool walk_done = false;
    bool walk_waiting = false;
    bool reader_waiting = false;
    int32_t idle_workers = 0;
    bool stopping = false;
};

extern "C" {

VK_API int32_t VK_CALL VkScanOpen(const char* const* paths, int32_t count, uint32_t options, int32_t threads,
                                  VkScan** scan) {
    if (scan == nullptr) return VK_ERROR_ARGUMENT;
    *scan = nullptr;
    if ((paths == nullptr && count > 0) || count < 0 || threads < 0 || threads > kMaxThreads ||
        (options & ~(VK_SCAN_RECURSIVE | VK_OPEN_COUNT_FRAMES)) != 0) {
        return VK_ERROR_ARGUMENT;
    }
    try {
        std::vector<std::string> operands;
        for (int32_t i = 0; i < count; ++i) {
            if (paths[i] == nullptr) return VK_ERROR_ARGUMENT;
            operands.emplace_back(paths[i]);
        }
        std::unique_ptr<VkScan> made(new VkScan(std::move(operands), options, threads == 0 ? kDefaultThreads : threads));
        made->start();
        *scan = made.release();
        return VK_OK;
    } catch (const std::bad_alloc&) {
        return VK_ERROR_NO_MEMORY;
    } catch (...) {
        return VK_ERROR_NO_MEMORY;  // no thread could be started
    }
}

VK_API int32_t VK_CALL VkScanNext(VkScan* scan, const char** path, VkFile** file, int32_t* status) {
    if (scan == nullptr || path == nullptr || file == nullptr || status == nullptr) return 0;
    try {
        return scan->next(*path, *file, *status) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

VK_API void VK_CALL VkScanClose(VkScan* scan) { delete scan; }

}  // extern "C"
