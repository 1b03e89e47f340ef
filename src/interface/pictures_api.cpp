// A handle's ID3v2 pictures: their facts, texts and data, read from the
// file again or from the tag a handle without a file keeps.
#include "interface/velkor_file.h"

using velkor::platform::FileSource;

namespace {

// Reads a picture's data from the file's bytes in source.
int32_t read_picture_data(const velkor::Id3v2Picture& found, velkor::ByteSource& source, int64_t source_size,
                          void* buffer) {
    if (found.compressed) {
        if (found.body_offset + found.stored_size > source_size) return VELKOR_ERROR_READ;
        const std::vector<uint8_t> data = velkor::read_compressed_picture(source, found);
        if (data.empty() && found.bytes > 0) return VELKOR_ERROR_READ;
        if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
        return VELKOR_OK;
    }
    // Resynchronising takes up to twice the bytes the body decodes to.
    const int64_t want = found.unsynchronised ? 2 * static_cast<int64_t>(found.stored_size)
                                              : static_cast<int64_t>(found.stored_size);
    const int64_t count = std::max<int64_t>(0, std::min(want, source_size - found.body_offset));
    std::vector<uint8_t> stored(static_cast<std::size_t>(count));
    const std::size_t got = source.read(found.body_offset, stored.data(), stored.size());
    const std::string data = velkor::picture_data(found, velkor::ByteSpan(stored.data(), got));
    if (static_cast<int64_t>(data.size()) != found.bytes) return VELKOR_ERROR_READ;
    std::memcpy(buffer, data.data(), data.size());
    return VELKOR_OK;
}

}  // namespace

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_picture(const velkor_file* file, int32_t index, velkor_picture_info* picture) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr) return VELKOR_ERROR_ARGUMENT;
    velkor_picture_info ours = {};
    ours.type = found->type;
    ours.bytes = static_cast<int32_t>(std::min<int64_t>(found->bytes, 0x7FFFFFFF));
    return copy_record(ours, picture);
}

VELKOR_API const char* VELKOR_CALL velkor_picture_text(const velkor_file* file, int32_t index, int32_t field) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr) return nullptr;
    if (field == VELKOR_PICTURE_MIME) return found->mime.c_str();
    if (field == VELKOR_PICTURE_DESCRIPTION) return found->description.c_str();
    return nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_read_picture(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr || buffer == nullptr || size < 0 || found->bytes > size) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        velkor_file::Reread bytes;
        const int32_t opened = file->reread(bytes);
        if (opened != VELKOR_OK) return opened;
        return read_picture_data(*found, *bytes.source, bytes.size, buffer);
    });
}

}  // extern "C"

namespace velkor {

int32_t read_picture_from(const velkor_file* file, int32_t index, ByteSource& source, int64_t size_of_source,
                          void* buffer, int32_t size) {
    const Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr || buffer == nullptr || size < 0 || found->bytes > size) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        return read_picture_data(*found, source, size_of_source, buffer);
    });
}

}  // namespace velkor
