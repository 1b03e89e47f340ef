// A handle's APEv2 items: their facts, texts and stored values.
#include "interface/velkor_file.h"

using velkor::platform::FileSource;

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_ape_item_count(const velkor_file* file) {
    if (file == nullptr) return -1;
    return static_cast<int32_t>(file->info.apev2_tag.items.size());
}

VELKOR_API int32_t VELKOR_CALL velkor_ape_item(const velkor_file* file, int32_t index, velkor_ape_item_info* info) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr) return VELKOR_ERROR_ARGUMENT;
    velkor_ape_item_info ours = {};
    static_assert(static_cast<int32_t>(velkor::Apev2Item::Kind::kExternal) == VELKOR_APE_LOCATOR &&
                      static_cast<int32_t>(velkor::Apev2Item::Kind::kReserved) == VELKOR_APE_RESERVED,
                  "item kinds are numbered as velkor.h numbers them");
    ours.kind = static_cast<int32_t>(item->kind);
    ours.read_only = item->read_only ? 1 : 0;
    ours.value_count = static_cast<int32_t>(item->values.size());
    ours.truncated = item->cut ? 1 : 0;
    ours.body_size = item->value_size;
    std::memcpy(ours.key, item->key.data(), std::min(item->key.size(), sizeof ours.key - 1));
    return copy_record(ours, info);
}

VELKOR_API const char* VELKOR_CALL velkor_ape_item_text(const velkor_file* file, int32_t index, int32_t field,
                                                      int32_t value_index) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr) return nullptr;
    if (field == VELKOR_APE_KEY) return item->key.c_str();
    if (field != VELKOR_APE_VALUE || value_index < 0 || static_cast<std::size_t>(value_index) >= item->values.size()) {
        return nullptr;
    }
    return item->values[static_cast<std::size_t>(value_index)].c_str();
}

VELKOR_API int32_t VELKOR_CALL velkor_read_ape_item(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr || buffer == nullptr || size < 0 || item->value_size > static_cast<uint32_t>(size)) {
        return VELKOR_ERROR_ARGUMENT;
    }
    // A handle from memory keeps only its ID3v2 tag's bytes.
    if (file->from_memory) return VELKOR_ERROR_READ;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        FileSource source;
        const int32_t opened = file->reopen(source);
        if (opened != VELKOR_OK) return opened;
        return source.read(item->value_offset, static_cast<uint8_t*>(buffer), item->value_size) == item->value_size
                   ? VELKOR_OK
                   : VELKOR_ERROR_READ;
    });
}

}  // extern "C"
