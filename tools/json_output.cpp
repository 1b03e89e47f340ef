// JSON Lines output: the library writes each analysed file's object
// (velkor_file_json); here are the lines around it and those of files
// that gave no handle.
#include "json_output.h"

#include <new>
#include <string>

namespace velkor::cli {

const char* json_status_name(int32_t status) {
    switch (status) {
        case VELKOR_OK: return "ok";
        case VELKOR_ERROR_NOT_FOUND: return "not_found";
        case VELKOR_ERROR_NOT_PERMITTED: return "not_permitted";
        case VELKOR_ERROR_NOT_REGULAR: return "not_regular";
        case VELKOR_ERROR_NO_AUDIO: return "no_audio";
        case VELKOR_ERROR_READ: return "read";
        case VELKOR_ERROR_NO_MEMORY: return "no_memory";
        case VELKOR_ERROR_ARGUMENT: return "argument";
        case VELKOR_ERROR_READ_ONLY: return "read_only";
        case VELKOR_ERROR_NO_SPACE: return "no_space";
        case VELKOR_ERROR_WRITE: return "write";
        case VELKOR_ERROR_CHANGED: return "changed";
        case VELKOR_ERROR_LINKED: return "linked";
        case VELKOR_SKIPPED: return "skipped";
        default: return "unknown";
    }
}

void append_json_failure(TextBuffer& out, std::string_view path, std::string_view status, std::string_view error,
                         std::string_view stream_format) {
    // The library writes the line (one JSON writer); the views here need not
    // end in a zero byte, so each goes in as a string of its own.
    const std::string p(path), s(status), e(error), f(stream_format);
    std::size_t length = 0;
    char* at = out.room(512);
    if (velkor_failure_json(p.c_str(), s.c_str(), e.empty() ? nullptr : e.c_str(), f.c_str(), at, 512, &length) !=
        VELKOR_OK) {
        at = out.room(length + 1);
        if (velkor_failure_json(p.c_str(), s.c_str(), e.empty() ? nullptr : e.c_str(), f.c_str(), at, length + 1,
                                &length) != VELKOR_OK) {
            throw std::bad_alloc();
        }
    }
    out.grow_to(at + length);
    out += '\n';
}

int32_t append_json_line(TextBuffer& out, const char* path, AnalysedFile& file) {
    std::string_view object;
    const int32_t status = file.json(path, 0, object);
    if (status != VELKOR_OK) {
        append_json_failure(out, path, json_status_name(status), velkor_status_text(status));
        return status;
    }
    out += object;
    out += '\n';
    return VELKOR_OK;
}

}  // namespace velkor::cli
