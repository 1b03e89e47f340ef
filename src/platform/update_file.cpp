// Updating a file in place through a C stream, with 64-bit positions and
// resizing: the Windows runtime's own calls there, POSIX ones elsewhere.
#include "platform/update_file.h"

#include <cerrno>

#if defined(_WIN32)
#include <io.h>

#include "platform/wide_text.h"
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace velkor::platform {

namespace {

#if defined(_WIN32)

bool seek_to(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }

int64_t size_of(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    return _ftelli64(file);
}

bool resize_file(std::FILE* file, int64_t size) { return _chsize_s(_fileno(file), size) == 0; }

#else

bool seek_to(std::FILE* file, int64_t offset) {
    return offset >= 0 && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

int64_t size_of(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    return static_cast<int64_t>(ftello(file));
}

bool resize_file(std::FILE* file, int64_t size) {
    return size >= 0 && ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

#endif

std::FILE* open_for_update(const std::string& path, bool utf8) {
#if defined(_WIN32)
    if (utf8) {
        std::wstring wide;
        if (!utf8_to_wide(path.c_str(), wide)) {
            errno = ENOENT;
            return nullptr;
        }
        return _wfopen(wide.c_str(), L"r+b");
    }
#else
    (void)utf8;
#endif
    return std::fopen(path.c_str(), "r+b");
}

}  // namespace

UpdateFile::UpdateFile(const std::string& path, bool utf8) {
    errno = 0;
    file_ = open_for_update(path, utf8);
    // Unbuffered, so that a failed write shows at once and nothing is left
    // for fclose to write after the file was cut back.
    if (file_) {
        std::setvbuf(file_, nullptr, _IONBF, 0);
    } else {
        failed();
    }
}

bool UpdateFile::failed() {
    problem_ = problem_of_errno(errno);
    if (problem_ == FileProblem::kNone) problem_ = FileProblem::kOther;
    return false;
}

bool UpdateFile::close() {
    if (!file_) return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed || failed();
}

int64_t UpdateFile::size() {
    errno = 0;
    const int64_t size = file_ ? size_of(file_) : -1;
    if (size < 0) failed();
    return size;
}

bool UpdateFile::read_at(int64_t offset, uint8_t* dest, std::size_t count) {
    errno = 0;
    return (file_ && seek_to(file_, offset) && std::fread(dest, 1, count, file_) == count) || failed();
}

bool UpdateFile::write_at(int64_t offset, const uint8_t* bytes, std::size_t count) {
    errno = 0;
    return (file_ && seek_to(file_, offset) && std::fwrite(bytes, 1, count, file_) == count &&
            std::fflush(file_) == 0) ||
           failed();
}

bool UpdateFile::resize(int64_t size) { return (file_ && resize_file(file_, size)) || failed(); }

}  // namespace velkor::platform
