// Positioned reads from a regular file: what both platforms share (the
// platform halves are file_source_posix.cpp and file_source_windows.cpp).
#include "platform/file_source.h"

#include <algorithm>

namespace velkor::platform {

ByteSpan FileSource::bytes(int64_t offset, std::size_t n) {
    if (offset < 0 || offset >= size_) return ByteSpan();
    fetched_.resize(static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset)));
    fetched_.resize(read_at(offset, fetched_.data(), fetched_.size()));
    return ByteSpan(fetched_.data(), fetched_.size());
}

ReadCounter& FileSource::thread_counter() {
    static thread_local ReadCounter counter;
    return counter;
}

void FileSource::note_shortfall(int64_t offset, std::size_t asked, std::size_t got) {
    // Bytes the file had when opened and a read could not give: a read
    // error, or a file cut meanwhile. Either way what was read is not the file.
    if (got < asked && offset >= 0 && offset + static_cast<int64_t>(got) < size_) read_failed_ = true;
}

}  // namespace velkor::platform
