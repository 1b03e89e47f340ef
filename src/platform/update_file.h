// An existing file opened for reading and writing in place: what the ID3v1
// write-back needs, and nothing more. It never creates a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_problem.h"

namespace velkor::platform {

class UpdateFile {
public:
    // Opens an existing file for update; a vanished file is not created.
    // A `utf8` path is opened by its UTF-16 form on Windows.
    explicit UpdateFile(const std::string& path, bool utf8 = false);
    ~UpdateFile() { close(); }
    UpdateFile(const UpdateFile&) = delete;
    UpdateFile& operator=(const UpdateFile&) = delete;

    bool is_open() const { return file_ != nullptr; }

    // Closes the file; false when the system reports that the close failed.
    bool close();

    // The file's size in bytes, or -1 (with the problem).
    int64_t size();

    // Exactly count bytes at offset, or false.
    bool read_at(int64_t offset, uint8_t* dest, std::size_t count);

    // Writes count bytes at offset and hands them to the system, or false.
    bool write_at(int64_t offset, const uint8_t* bytes, std::size_t count);

    // Cuts (or extends) the file to size bytes.
    bool resize(int64_t size);

    // Why the open or the last failed operation failed.
    FileProblem problem() const { return problem_; }

private:
    bool failed();

    std::FILE* file_;
    FileProblem problem_ = FileProblem::kNone;
};

}  // namespace velkor::platform
