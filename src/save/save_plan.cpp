// Laying out the new file of an edit.
#include "save/save_plan.h"

#include <cstring>

#include "save/id3v1_block.h"

namespace velkor {

TagPlan plan_tagged_file(const TaggedFile& file, const PlanOptions& options) {
    TagPlan plan;
    if (file.id3v2.edited()) {
        Id3v2Written written = file.id3v2.write(options.new_as_v24);
        if (written.too_large) {
            plan.too_large = true;
            return plan;
        }
        plan.id3v2_version = written.version;
        plan.file.head = std::move(written.bytes);
        plan.file.keep_from = file.audio_begin;
    } else {
        // An unchanged tag stays as stored, byte for byte.
        plan.id3v2_version = file.audio_begin > 0 ? file.id3v2.version() : 0;
        plan.file.keep_from = 0;
    }
    plan.id3v2_size = plan.id3v2_version == 0        ? 0
                      : file.id3v2.edited() ? static_cast<int64_t>(plan.file.head.size())
                                            : file.audio_begin;
    plan.file.keep_to = file.audio_end;
    std::vector<uint8_t>& tail = plan.file.tail;
    for (const StoredTag& tag : file.trailing) {
        if (tag.kind == TrailingTag::Kind::kApev2) {
            if (file.remove_apev2) continue;
            plan.has_apev2 = true;
        }
        tail.insert(tail.end(), tag.bytes.begin(), tag.bytes.end());
    }
    const bool add = file.id3v1_mode == Id3v1Mode::kAdd && !file.has_id3v1;
    uint8_t block[kId3v1BlockSize];
    if (options.id3v1_block != nullptr) {
        std::memcpy(block, options.id3v1_block, sizeof block);
    } else if (file.id3v1_mode != Id3v1Mode::kRemove && (file.has_id3v1 || add)) {
        Id3v1Edit edit;
        std::string texts[4];
        static const std::set<std::string> kNone;
        fill_id3v1(file.id3v2, add ? nullptr : options.id3v1_fields ? options.id3v1_fields : &kNone, edit, texts);
        make_id3v1_block(file.has_id3v1 ? file.id3v1 : nullptr, edit, block);
    } else {
        return plan;
    }
    tail.insert(tail.end(), block, block + sizeof block);
    plan.has_id3v1 = true;
    return plan;
}

}  // namespace velkor
