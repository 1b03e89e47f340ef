// An existing regular file opened for reading and writing in place: what
// the ID3v1 write-back needs, and nothing more. It never creates a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_problem.h"

namespace velkor::platform {

class UpdateFile {
public:
    // Opens an existing file for update; a vanished file is not created,
    // and anything but a regular file (a device, a FIFO, a folder) is
    // closed again at once (kNotRegular). The open never blocks. A `utf8`
    // path is opened by its UTF-16 form on Windows.
    explicit UpdateFile(const std::string& path, bool utf8 = false);
    ~UpdateFile() { close(); }
    UpdateFile(const UpdateFile&) = delete;
    UpdateFile& operator=(const UpdateFile&) = delete;

    bool is_open() const;

    // Closes the file; false when the system reports that the close failed.
    bool close();

    // The file's size in bytes, or -1 (with the problem).
    int64_t size();

    // Exactly count bytes at offset, or false.
    bool read_at(int64_t offset, uint8_t* dest, std::size_t count);

    // Whether bytes up to `end` may be written at all: false (kNoSpace)
    // when the process's file size limit is below it, so that no write
    // ever stops part-way at the limit. Where the file system can, room
    // from the file's `size` to `end` is also reserved without changing
    // the size, so that a full disk fails here rather than mid-write.
    bool prepare(int64_t size, int64_t end);

    // Writes count bytes at offset in one system call and hands them to
    // the storage (data sync), or false. The file size limit's signal
    // cannot end the process meanwhile. After a short write the bytes
    // behind offset may have changed: the caller puts them back.
    bool write_at(int64_t offset, const uint8_t* bytes, std::size_t count);

    // Cuts (or extends) the file to size bytes.
    bool resize(int64_t size);

    // Why the open or the last failed operation failed.
    FileProblem problem() const { return problem_; }

private:
    bool failed();
    bool failed(FileProblem problem);

#if defined(_WIN32)
    std::FILE* file_ = nullptr;
#else
    int fd_ = -1;
#endif
    FileProblem problem_ = FileProblem::kNone;
};

}  // namespace velkor::platform
