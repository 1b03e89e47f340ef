// Updating a regular file in place, and making the new file a rewrite
// fills, on Windows: the C runtime's unbuffered stream calls.
#include "platform/update_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/wide_text.h"

namespace velkor::platform {

namespace {

// The stream an UpdateFile holds, and back.
std::FILE* stream(intptr_t native) { return native == -1 ? nullptr : reinterpret_cast<std::FILE*>(native); }
intptr_t to_native(std::FILE* file) { return file == nullptr ? -1 : reinterpret_cast<intptr_t>(file); }

}  // namespace

namespace {

std::FILE* open_for_update(const std::string& path, bool utf8) {
    if (utf8) {
        std::wstring wide;
        if (!utf8_to_wide(path.c_str(), wide)) {
            errno = ENOENT;
            return nullptr;
        }
        return _wfopen(wide.c_str(), L"r+b");
    }
    return std::fopen(path.c_str(), "r+b");
}

bool is_disk_file(std::FILE* file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
}

}  // namespace

UpdateFile::UpdateFile(const std::string& path, bool utf8) {
    errno = 0;
    std::FILE* const file = open_for_update(path, utf8);
    if (!file) {
        failed();
        return;
    }
    native_ = to_native(file);
    if (!is_disk_file(file)) {
        close();
        failed(FileProblem::kNotRegular);
        return;
    }
    // Unbuffered, so that a failed write shows at once and nothing is left
    // for fclose to write after the file was cut back.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

UpdateFile::UpdateFile(const std::string& path, MakeNew) {
    std::wstring wide;
    if (!utf8_to_wide(path.c_str(), wide)) {
        failed(FileProblem::kNotFound);
        return;
    }
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const FileProblem problem = problem_of_system_error(GetLastError());
        failed(problem == FileProblem::kNone ? FileProblem::kOther : problem);
        return;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    std::FILE* const file = fd < 0 ? nullptr : _fdopen(fd, "r+b");
    if (!file) {
        if (fd < 0) {
            CloseHandle(handle);
        } else {
            _close(fd);
        }
        failed(FileProblem::kOther);
        return;
    }
    native_ = to_native(file);
    std::setvbuf(file, nullptr, _IONBF, 0);
}

bool UpdateFile::is_open() const { return native_ != -1; }

bool UpdateFile::close() {
    std::FILE* const file = stream(native_);
    if (!file) return true;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    native_ = -1;
    return closed || failed();
}

int64_t UpdateFile::size() {
    std::FILE* const file = stream(native_);
    errno = 0;
    const int64_t size = file && _fseeki64(file, 0, SEEK_END) == 0 ? _ftelli64(file) : -1;
    if (size < 0) failed();
    return size;
}

bool UpdateFile::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    std::FILE* const file = stream(native_);
    errno = 0;
    return (file && _fseeki64(file, offset, SEEK_SET) == 0 && std::fread(dest, 1, count, file) == count) ||
           failed();
}

bool UpdateFile::prepare(int64_t, int64_t) { return native_ != -1 || failed(FileProblem::kOther); }

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count, bool sync) {
    std::FILE* const file = stream(native_);
    errno = 0;
    return (file && _fseeki64(file, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, count, file) == count &&
            std::fflush(file) == 0 && (!sync || _commit(_fileno(file)) == 0)) ||
           failed();
}

bool UpdateFile::copy_from(UpdateFile& source, int64_t from, int64_t count, int64_t to) {
    return copy_blocks(source, from, count, to);
}

// Windows keeps others out while the file is open for writing; no lock.
bool UpdateFile::lock() { return native_ != -1 || failed(FileProblem::kOther); }

intptr_t UpdateFile::release() {
    close();
    return -1;
}

bool UpdateFile::take_attributes(UpdateFile&) { return native_ != -1 || failed(FileProblem::kOther); }

bool UpdateFile::take_times(const FileFacts&) { return native_ != -1 || failed(FileProblem::kOther); }

FileProblem real_path(const std::string& path, std::string& real) {
    real = path;
    return FileProblem::kNone;
}

bool remove_name(const std::string& path) {
    std::wstring wide;
    return utf8_to_wide(path.c_str(), wide) && DeleteFileW(wide.c_str());
}

// The old file's attributes (hidden, archive) go over to the new one.
FileProblem rename_over(const std::string& temp, const std::string& path) {
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

std::size_t last_separator(const std::string& path) { return path.find_last_of("/\\:"); }

// MOVEFILE_WRITE_THROUGH has made the new name lasting.
void sync_folder(const std::string&) {}

int note_temporary(const std::string&) { return -1; }
void forget_temporary(int) {}
void remove_temporaries() {}

bool UpdateFile::resize(int64_t size) {
    std::FILE* const file = stream(native_);
    errno = 0;
    return (file && _chsize_s(_fileno(file), size) == 0) || failed();
}

bool UpdateFile::sync() {
    std::FILE* const file = stream(native_);
    errno = 0;
    return (file && std::fflush(file) == 0 && _commit(_fileno(file)) == 0) || failed();
}

bool UpdateFile::facts(FileFacts& facts) {
    std::FILE* const file = stream(native_);
    return (file && facts_of_open_file(_get_osfhandle(_fileno(file)), facts)) || failed(FileProblem::kOther);
}

// The replacement takes the folder's permissions, as any new file there.
bool UpdateFile::take_mode_and_owner(const FileFacts&) { return native_ != -1 || failed(FileProblem::kOther); }

}  // namespace velkor::platform
