// Read-only, positioned access to one regular file: the only place the
// analysis touches the file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "platform/file_problem.h"

namespace velkor::platform {

// What FileSource read on the calling thread since the counter was last
// reset; lets tests and benchmarks see how much an analysis reads.
struct ReadCounter {
    uint64_t bytes = 0;
    uint64_t reads = 0;
    uint64_t reads_apart = 0;  // of them, made with the system's read-ahead off
};

// What tells a file apart from another put in its place and from itself
// changed: size, modification time and status change time (to the
// nanosecond where the system keeps them; a program can set the first back,
// not the second) and, where known, the device and file number.
struct FileIdentity {
    int64_t size = -1;
    int64_t modified_seconds = 0;
    int64_t modified_nanoseconds = 0;
    int64_t changed_seconds = 0;
    int64_t changed_nanoseconds = 0;
    uint64_t device = 0;
    uint64_t number = 0;

    bool operator==(const FileIdentity& other) const {
        return size == other.size && modified_seconds == other.modified_seconds &&
               modified_nanoseconds == other.modified_nanoseconds && changed_seconds == other.changed_seconds &&
               changed_nanoseconds == other.changed_nanoseconds && device == other.device &&
               number == other.number;
    }
    bool same_file(const FileIdentity& other) const { return device == other.device && number == other.number; }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// What the system says about an open file beyond its identity: enough to
// refuse a file with other names and to give a copy its mode and owner.
struct FileFacts {
    FileIdentity identity;
    bool regular = false;  // a regular file on a disk
    uint64_t links = 1;    // the number of names the file has
    uint32_t mode = 0;     // permission bits (POSIX)
    uint32_t owner = 0;    // user and group (POSIX)
    uint32_t group = 0;
    int64_t accessed_seconds = 0;  // kept with the modification time when asked (POSIX)
    int64_t accessed_nanoseconds = 0;
};

// The facts of an open file: a file descriptor on POSIX systems, a HANDLE
// on Windows. False when the system cannot tell.
bool facts_of_open_file(intptr_t native, FileFacts& facts);

class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() { close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens path for reading without locking other processes out; kNone
    // when it is open. The open itself never blocks (a FIFO without writer
    // included); anything but a regular file is closed again at once
    // (kNotRegular).
    FileProblem open(const char* path);
    // The same for a path in UTF-8: on Windows converted to UTF-16 and
    // opened with the wide API, elsewhere the same as open().
    FileProblem open_utf8(const char* path);
    // Opens a file by the name its caller gave: `wide` where a wide entry
    // point (Windows) was handed one, kept as given since a name with a
    // lone surrogate has no UTF-8 form; the UTF-8 `path` otherwise.
    FileProblem open_given(const std::string& path, const std::wstring& wide);
    void close();

    // Size in bytes when opened.
    int64_t size() const { return size_; }
    // The open file's identity, taken when it was opened.
    const FileIdentity& identity() const { return identity_; }

    // Reads up to count bytes at offset into dest; fewer only at the end of
    // the file or on a read error. Returns the number of bytes read.
    std::size_t read_at(int64_t offset, uint8_t* dest, std::size_t count);

    // Whether a read fell short of the bytes the file had when it was
    // opened (a read error, or the file cut meanwhile) since it was opened.
    bool read_failed() const { return read_failed_; }

    // The file as a byte source for the analysis.
    std::size_t read(int64_t offset, uint8_t* dest, std::size_t n) override { return read_at(offset, dest, n); }
    // Asks the system to start reading those bytes from the disk.
    void will_read(int64_t offset, std::size_t n) override;
    // Asks the system to read no more than each read asks for, or to read
    // ahead again.
    void reads_apart(bool apart) override;
    ByteSpan bytes(int64_t offset, std::size_t n) override;

    // The counter of the calling thread.
    static ReadCounter& thread_counter();

private:
    void note_shortfall(int64_t offset, std::size_t asked, std::size_t got);
    // Keeps a file the system opened, if it is a regular one.
    FileProblem take(intptr_t native);
    // Opens a UTF-16 name (Windows only).
    FileProblem open_wide(const wchar_t* path);
    intptr_t native_ = -1;  // a descriptor (POSIX) or HANDLE (Windows); -1 when closed
    int64_t size_ = 0;
    FileIdentity identity_;
    bool read_failed_ = false;
    bool apart_ = false;  // read-ahead asked off (reads_apart)
    std::vector<uint8_t> fetched_;  // what bytes() returned last
};

}  // namespace velkor::platform
