// velkor's tag editing interface: velkor_edit_*.
#include "velkor.h"

struct velkor_edit {};

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_edit_open(const char*, uint32_t, velkor_edit** edit) {
    if (edit != nullptr) *edit = nullptr;
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API void VELKOR_CALL velkor_edit_close(velkor_edit* edit) { delete edit; }
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_text(velkor_edit*, const char*, const char* const*, int32_t) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_user_text(velkor_edit*, const char*, const char* const*, int32_t) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_comment(velkor_edit*, const char*, const char*, const char*) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_lyrics(velkor_edit*, const char*, const char*, const char*) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_url(velkor_edit*, const char*, const char*, const char*) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_add_picture(velkor_edit*, int32_t, const char*, const char*, const void*,
                                                       int32_t) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_pictures(velkor_edit*, int32_t) { return VELKOR_ERROR_ARGUMENT; }
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_popularimeter(velkor_edit*, const char*, int32_t, int64_t) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_frames(velkor_edit*, const char*) { return VELKOR_ERROR_ARGUMENT; }
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_field(velkor_edit*, int32_t, const char*) {
    return VELKOR_ERROR_ARGUMENT;
}
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_tag(velkor_edit*, uint32_t) { return VELKOR_ERROR_ARGUMENT; }
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_id3v1(velkor_edit*, int32_t) { return VELKOR_ERROR_ARGUMENT; }
VELKOR_API int32_t VELKOR_CALL velkor_edit_save(velkor_edit*, uint32_t, velkor_save_report*) {
    return VELKOR_ERROR_ARGUMENT;
}
#if defined(_WIN32)
VELKOR_API int32_t VELKOR_CALL velkor_edit_open_w(const wchar_t*, uint32_t, velkor_edit** edit) {
    if (edit != nullptr) *edit = nullptr;
    return VELKOR_ERROR_ARGUMENT;
}
#endif

}  // extern "C"
