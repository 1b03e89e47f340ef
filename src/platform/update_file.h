// A regular file opened for reading and writing in place: an existing one
// (the tag writers' target), or a new one made exclusively (the copy a
// rewrite renames over the old file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_problem.h"
#include "platform/file_source.h"

namespace velkor::platform {

class UpdateFile {
public:
    // Opens an existing file for update; a vanished file is not created,
    // and anything but a regular file (a device, a FIFO, a folder) is
    // closed again at once (kNotRegular). The open never blocks. A `utf8`
    // path is opened by its UTF-16 form on Windows.
    explicit UpdateFile(const std::string& path, bool utf8 = false);
    // Makes a new file at the UTF-8 `path`, readable and writable by its
    // owner alone; fails (kOther, with EEXIST in errno on POSIX systems)
    // when the name exists, whatever it names, a symbolic link included.
    struct MakeNew {};
    UpdateFile(const std::string& path, MakeNew);
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

    // Writes count bytes at offset in one system call and, unless `sync`
    // is false, hands them to the storage (data sync), or false. The file
    // size limit's signal cannot end the process meanwhile. After a short
    // write the bytes behind offset may have changed: the caller puts them
    // back.
    bool write_at(int64_t offset, const uint8_t* bytes, std::size_t count, bool sync = true);

    // Copies count bytes of `source` from offset `from` to offset `to` of
    // this file, within the file system where it can (no bytes pass
    // through the process), in 1 MiB blocks otherwise. Holes of the source
    // stay holes: only its data is copied (the caller gives the file its
    // size). Not synced.
    bool copy_from(UpdateFile& source, int64_t from, int64_t count, int64_t to);

    // Takes the whole file's exclusive lock (flock), waiting while another
    // open of it holds one. The lock goes with the descriptor: release().
    bool lock();

    // Gives up the descriptor (and a lock on it) to the caller; the
    // object is closed afterwards.
    intptr_t release();

    // Gives the file the extended attributes of `source` (ACLs included,
    // which the system keeps as such). False (kNotPermitted) when one that
    // decides who may read it cannot be given; the security labels the
    // system gives new files stay where theirs cannot be copied.
    bool take_attributes(UpdateFile& source);

    // Gives the file the access and modification times of `like`.
    bool take_times(const FileFacts& like);

    // Cuts (or extends) the file to size bytes. Not synced.
    bool resize(int64_t size);

    // Hands the file's data and its metadata (size, mode, owner) to the
    // storage.
    bool sync();

    // What the system says about the open file.
    bool facts(FileFacts& facts);

    // Gives the file the mode and owner of `like` (POSIX; nothing on
    // Windows). An owner or group that cannot be given fails (kNotPermitted)
    // rather than leaving the file someone else's.
    bool take_mode_and_owner(const FileFacts& like);

    // Why the open or the last failed operation failed.
    FileProblem problem() const { return problem_; }

private:
    bool failed();
    bool copy_range(UpdateFile& source, int64_t from, int64_t count, int64_t to);
    bool failed(FileProblem problem);
    bool copy_blocks(UpdateFile& source, int64_t from, int64_t count, int64_t to);

    // A descriptor (POSIX) or the C runtime's FILE* (Windows), each half
    // reading it as its own; -1 when closed.
    intptr_t native_ = -1;
    FileProblem problem_ = FileProblem::kNone;
};

// The path with symbolic links and "." and ".." resolved (POSIX; the path
// as given on Windows), or the problem.
FileProblem real_path(const std::string& path, std::string& real);

// Removes a name (a temporary file left by a failed replacement).
bool remove_name(const std::string& path);

// Moves the file `from` over the name `to` in one step.
FileProblem rename_over(const std::string& from, const std::string& to);

// Where the last folder separator of a path stands ('/', and on Windows
// also '\\' and a drive's ':'), or std::string::npos.
std::size_t last_separator(const std::string& path);

// Makes the names in `folder` ("" for the current one) lasting.
void sync_folder(const std::string& folder);

// Temporary files being written, so that a signal handler can remove them:
// note_temporary() before the file is made, forget_temporary() once it is
// renamed or removed. remove_temporaries() is async-signal-safe.
int note_temporary(const std::string& path);
void forget_temporary(int slot);
void remove_temporaries();

}  // namespace velkor::platform
