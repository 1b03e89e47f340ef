// The save lock on POSIX systems: flock, shared within a process through a
// table of the files locked.
#if !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/update_file.h"

namespace velkor::platform {

struct FileLock::Held {
    int fd = -1;
    std::pair<uint64_t, uint64_t> key;
    ~Held();
};

namespace {

std::mutex table_mutex;
std::map<std::pair<uint64_t, uint64_t>, std::weak_ptr<FileLock::Held>>& table() {
    static auto* locks = new std::map<std::pair<uint64_t, uint64_t>, std::weak_ptr<FileLock::Held>>();
    return *locks;
}

std::pair<uint64_t, uint64_t> key_of(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// The lock this process holds on the file, if any.
std::shared_ptr<FileLock::Held> find(std::pair<uint64_t, uint64_t> key) {
    std::lock_guard<std::mutex> guard(table_mutex);
    const auto found = table().find(key);
    return found == table().end() ? nullptr : found->second.lock();
}

std::shared_ptr<FileLock::Held> enter(int fd, std::pair<uint64_t, uint64_t> key) {
    auto held = std::make_shared<FileLock::Held>();
    held->fd = fd;
    held->key = key;
    std::lock_guard<std::mutex> guard(table_mutex);
    table()[key] = held;
    return held;
}

constexpr int kTries = 100;

}  // namespace

FileLock::Held::~Held() {
    {
        std::lock_guard<std::mutex> guard(table_mutex);
        const auto found = table().find(key);
        if (found != table().end() && found->second.expired()) table().erase(found);
    }
    if (fd >= 0) ::close(fd);
}

FileProblem FileLock::acquire(const std::string& path) {
    held_.reset();
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            const FileProblem problem = problem_of_errno(errno);
            return problem == FileProblem::kNone ? FileProblem::kOther : problem;
        }
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return S_ISREG(info.st_mode) ? FileProblem::kOther : FileProblem::kNotRegular;
        }
        if (auto shared = find(key_of(info))) {
            ::close(fd);
            held_ = std::move(shared);
            return FileProblem::kNone;
        }
        int locked;
        do {
            locked = flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        // A file system without locks still gets the other checks.
        if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP) {
            ::close(fd);
            return FileProblem::kOther;
        }
        // The writer we waited for may have renamed a new file over the
        // path: that one is the file now.
        struct stat now;
        if (stat(path.c_str(), &now) == 0 && key_of(now) == key_of(info)) {
            held_ = enter(fd, key_of(info));
            return FileProblem::kNone;
        }
        ::close(fd);
    }
    return FileProblem::kOther;
}

void FileLock::adopt(UpdateFile& file) {
    const int fd = static_cast<int>(file.release());
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) ::close(fd);
        held_.reset();
        return;
    }
    held_ = enter(fd, key_of(info));
}

bool FileLock::facts(FileFacts& facts) const {
    return held_ && held_->fd >= 0 && facts_of_open_file(held_->fd, facts);
}

}  // namespace velkor::platform
