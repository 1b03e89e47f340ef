// A handle's texts in UTF-8, the statuses' texts, the genre names and
// playing times as text.
#include "base/duration_text.h"
#include "interface/velkor_file.h"

using velkor::platform::FileSource;

extern "C" {

VELKOR_API const char* VELKOR_CALL velkor_status_text(int32_t status) {
    switch (status) {
        case VELKOR_OK: return "success";
        case VELKOR_ERROR_NOT_FOUND: return "no such file";
        case VELKOR_ERROR_NOT_PERMITTED: return "permission denied";
        case VELKOR_ERROR_NOT_REGULAR: return "not a regular file";
        case VELKOR_ERROR_NO_AUDIO: return "no MPEG audio in it";
        case VELKOR_ERROR_READ: return "cannot be read";
        case VELKOR_ERROR_NO_MEMORY: return "out of memory";
        case VELKOR_ERROR_ARGUMENT: return "invalid argument";
        case VELKOR_ERROR_READ_ONLY: return "read-only file system";
        case VELKOR_ERROR_NO_SPACE: return "no space left";
        case VELKOR_ERROR_WRITE: return "cannot be written";
        case VELKOR_ERROR_CHANGED: return "the file changed since it was opened";
        case VELKOR_ERROR_LINKED: return "the file has other hard links";
        case VELKOR_SKIPPED: return "skipped: not a regular file, a link not followed or a loop";
        default: return "unknown status";
    }
}

VELKOR_API const char* VELKOR_CALL velkor_text(const velkor_file* file, int32_t field) {
    const std::string* text = file ? file->text(field) : nullptr;
    return text ? text->c_str() : nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_get_text(const velkor_file* file, int32_t field, char* buffer, int32_t size) {
    const std::string* text = file ? file->text(field) : nullptr;
    if (text == nullptr) {
        if (buffer != nullptr && size > 0) buffer[0] = '\0';
        return 0;
    }
    return copy_text(*text, buffer, size);
}

VELKOR_API const char* VELKOR_CALL velkor_genre_name(int32_t genre) { return velkor::GenreTable::extended_name(genre); }

VELKOR_API int32_t VELKOR_CALL velkor_genre_number(const char* name) {
    const int32_t number = velkor::GenreTable::find_extended(name);
    return number < 0 ? velkor::kNotAGenre : number;
}

VELKOR_API int32_t VELKOR_CALL velkor_duration_text(int64_t seconds, char* buffer, int32_t size) {
    static_assert(VELKOR_DURATION_TEXT_SIZE == velkor::kDurationTextSize, "the room velkor.h states");
    char text[velkor::kDurationTextSize];
    const std::size_t length = static_cast<std::size_t>(velkor::duration_text(seconds, text) - text);
    if (buffer != nullptr && size > 0) {
        const std::size_t n = std::min(length, static_cast<std::size_t>(size) - 1);
        std::memcpy(buffer, text, n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(length) + 1;
}

}  // extern "C"
