// JSON Lines output: the library writes each analysed file's object
// (velkor_file_json); here are the lines around it and those of files
// that gave no handle.
#include "json_output.h"

#include "../src/base/json_text.h"

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
    out += "{\"json_version\":\"" VELKOR_JSON_VERSION "\",\"velkor\":";
    append_json_string(out, velkor_version());
    out += ",\"path\":";
    append_json_name(out, path);
    if (!valid_utf8(path)) {
        out += ",\"path_bytes\":";
        append_json_base64(out, path);
    }
    out += ",\"status\":";
    append_json_string(out, status);
    out += ",\"error\":";
    if (error.empty()) {
        out += "null";
    } else {
        append_json_string(out, error);
    }
    if (!stream_format.empty()) {
        out += ",\"stream_format\":";
        append_json_string(out, stream_format);
    }
    out += "}\n";
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
