// The wide-character (UTF-16 path) halves of opening, texts, the ID3v1
// write and the edit's open, for Windows.
#include "interface/edit_open.h"
#include "interface/velkor_file.h"
#include "platform/wide_text.h"

using velkor::platform::FileSource;

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_open_w(const wchar_t* path, uint32_t options, velkor_file** file) {
    if (path == nullptr) {
        if (file != nullptr) *file = nullptr;
        return VELKOR_ERROR_ARGUMENT;
    }
    std::string utf8;
    const int32_t converted = velkor::guarded(VELKOR_ERROR_NO_MEMORY, [&]() -> int32_t {
        utf8 = velkor::platform::wide_to_utf8(path);
        return VELKOR_OK;
    });
    if (converted != VELKOR_OK) return converted;
    const int32_t status = open_file(utf8.c_str(), options, file,
                                     [&](FileSource& source) { return source.open_given(utf8, path); });
    if (file != nullptr && *file != nullptr) {
        const int32_t kept = velkor::guarded(VELKOR_ERROR_NO_MEMORY, [&]() -> int32_t {
            (*file)->wide_path = path;
            return VELKOR_OK;
        });
        if (kept != VELKOR_OK) {
            velkor_close(*file);
            *file = nullptr;
            return kept;
        }
    }
    return status;
}

VELKOR_API int32_t VELKOR_CALL velkor_get_text_w(const velkor_file* file, int32_t field, wchar_t* buffer, int32_t size) {
    const std::string* text = file ? file->text(field) : nullptr;
    if (buffer != nullptr && size > 0) buffer[0] = L'\0';
    if (text == nullptr) return 0;
    return velkor::guarded_value<int32_t>(0, [&] {
        std::wstring wide;
        velkor::platform::utf8_to_wide(text->c_str(), wide);
        if (buffer != nullptr && size > 0) {
            std::size_t n = std::min(wide.size(), static_cast<std::size_t>(size) - 1);
            // Never split a surrogate pair.
            if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
            std::memcpy(buffer, wide.data(), n * sizeof(wchar_t));
            buffer[n] = L'\0';
        }
        return static_cast<int32_t>(wide.size() + 1);
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1_w(const wchar_t* path, const velkor_id3v1_fields* tag) {
    if (path == nullptr) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_NO_MEMORY,
                           [&] { return write_id3v1(velkor::platform::wide_to_utf8(path), true, tag); });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_open_w(const wchar_t* path, uint32_t options, velkor_edit** edit) {
    if (path == nullptr) {
        if (edit != nullptr) *edit = nullptr;
        return VELKOR_ERROR_ARGUMENT;
    }
    return velkor::guarded(VELKOR_ERROR_READ, [&] {
        return velkor::open_edit_named(velkor::platform::wide_to_utf8(path).c_str(), path, options, edit);
    });
}

}  // extern "C"
