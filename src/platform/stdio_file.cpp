// 64-bit positioning and resizing of C streams: the Windows runtime's own
// calls there, POSIX ones elsewhere.
#include "platform/stdio_file.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace velkor::platform {

#if defined(_WIN32)

bool seek_to(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }

int64_t size_of(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    return _ftelli64(file);
}

bool resize(std::FILE* file, int64_t size) { return _chsize_s(_fileno(file), size) == 0; }

#else

bool seek_to(std::FILE* file, int64_t offset) {
    return offset >= 0 && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

int64_t size_of(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    return static_cast<int64_t>(ftello(file));
}

bool resize(std::FILE* file, int64_t size) {
    return size >= 0 && ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

#endif

}  // namespace velkor::platform
