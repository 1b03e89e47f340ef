// A handle's ID3v2 frames: listed at the analysis, decoded when first
// asked for (and their small neighbours with them), within a budget.
#include "interface/velkor_file.h"

using velkor::platform::FileSource;

namespace {

// A cursor over the body of a listed frame, in the source it was found in.
velkor::TagCursor frame_body(velkor::ByteSource& source, const velkor::Id3v2Tag& tag, const velkor::Id3v2FrameEntry& entry) {
    return velkor::TagCursor(source, entry.body_offset, entry.body_offset + entry.stored_size,
                             tag.version <= 3 && tag.unsynchronised);
}

velkor::Id3v2Frame frame_of(const velkor::Id3v2Tag& tag, const velkor::Id3v2FrameEntry& entry) {
    velkor::Id3v2Frame frame;
    std::memcpy(frame.id, entry.id, sizeof frame.id);
    frame.size = entry.size;
    frame.flags = entry.flags;
    frame.version = static_cast<uint8_t>(tag.version);
    frame.tag_unsynchronised = tag.unsynchronised;
    return frame;
}

// What the texts of all of one handle's frames may hold: each frame's are
// bounded (1 MiB of content), but a tag has up to 4096 frames, and
// compressed ones inflate.
constexpr std::size_t kMaxFrameTextTotal = 64 * 1024 * 1024;

std::size_t text_bytes(const velkor::Id3v2FrameValues& v) {
    std::size_t bytes = v.description.size() + v.language.size() + v.owner.size() + v.element_id.size() + v.title.size();
    for (const std::string& value : v.values) bytes += value.size();
    for (const std::string& child : v.children) bytes += child.size();
    for (const std::string& genre : v.genres) bytes += genre.size();
    return bytes;
}

}  // namespace

void velkor_file::keep_within_budget(velkor::Id3v2FrameValues& values) const {
    const std::size_t bytes = text_bytes(values);
    if (frame_text_bytes + bytes <= kMaxFrameTextTotal) {
        frame_text_bytes += bytes;
        return;
    }
    // Past the budget a frame keeps its figures, not its texts.
    values.values.clear();
    values.children.clear();
    values.genres.clear();
    values.description.clear();
    values.language.clear();
    values.owner.clear();
    values.element_id.clear();
    values.title.clear();
    values.truncated = true;
}

const velkor::Id3v2FrameValues* velkor_file::frame(int32_t index, int32_t& status) const {
    const velkor::Id3v2FrameEntry* entry = frame_entry(index);
    status = VELKOR_ERROR_ARGUMENT;
    if (entry == nullptr) return nullptr;
    if (frame_values.size() != info.id3v2_tag.frames.size()) frame_values.resize(info.id3v2_tag.frames.size(), nullptr);
    velkor::Id3v2FrameValues*& cached = frame_values[static_cast<std::size_t>(index)];
    if (cached == nullptr) {
        Reread bytes;
        velkor::KeptFrames::Source kept(kept_frames);
        const bool in_memory = kept_frames.covers(*entry);
        if (!in_memory && open_source == nullptr) {
            status = reread(bytes);
            if (status != VELKOR_OK) return nullptr;
        }
        velkor::ByteSource& source = in_memory             ? static_cast<velkor::ByteSource&>(kept)
                                     : open_source != nullptr ? *open_source
                                                              : *bytes.source;
        // Small stored frames behind it are decoded while the file is open:
        // whoever asks for one frame mostly asks for the next.
        constexpr uint32_t kNeighbourBytes = 16 * 1024;
        const velkor::Id3v2Tag& tag = info.id3v2_tag;
        std::vector<std::size_t> decoded;
        for (std::size_t j = static_cast<std::size_t>(index); j < tag.frames.size(); ++j) {
            const velkor::Id3v2FrameEntry& next = tag.frames[j];
            const velkor::Id3v2Frame frame = frame_of(tag, next);
            if (j != static_cast<std::size_t>(index) &&
                (next.stored_size > kNeighbourBytes || velkor::id3v2_body_layout(frame).compressed ||
                 (in_memory && !kept_frames.covers(next)))) {
                break;
            }
            if (frame_values[j] != nullptr) continue;
            later_values.emplace_back(
                new velkor::Id3v2FrameValues(velkor::read_id3v2_frame_values(source, frame, frame_body(source, tag, next))));
            frame_values[j] = later_values.back().get();
            decoded.push_back(j);
        }
        if (bytes.file.read_failed() || (!in_memory && open_source != nullptr && open_source->read_failed())) {
            // Values read with a gap are not the frame's: none are kept.
            for (std::size_t j : decoded) frame_values[j] = nullptr;
            later_values.resize(later_values.size() - decoded.size());
            status = VELKOR_ERROR_READ;
            return nullptr;
        }
        for (std::size_t j : decoded) keep_within_budget(*frame_values[j]);
    }
    status = VELKOR_OK;
    return cached;
}

void velkor_file::decode_frames(FileSource& source) {
    open_source = &source;
    int32_t status = VELKOR_OK;
    for (std::size_t i = 0; i < info.id3v2_tag.frames.size() && !source.read_failed(); ++i) {
        frame(static_cast<int32_t>(i), status);
    }
    open_source = nullptr;
}

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_frame_count(const velkor_file* file) {
    if (file == nullptr) return -1;
    return static_cast<int32_t>(std::min<int64_t>(file->info.id3v2_tag.frame_count, 0x7FFFFFFF));
}

VELKOR_API int32_t VELKOR_CALL velkor_frame(const velkor_file* file, int32_t index, velkor_frame_info* info) {
    if (file == nullptr || info == nullptr) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        velkor_frame_info ours;
        const velkor::Id3v2FrameValues* values = nullptr;
        const int32_t status = file->frame_info(index, ours, values);
        return status == VELKOR_OK ? copy_record(ours, info) : status;
    });
}

}  // extern "C"

int32_t velkor_file::frame_info(int32_t index, velkor_frame_info& ours, const velkor::Id3v2FrameValues*& values) const {
    int32_t status = VELKOR_OK;
    values = frame(index, status);
    if (values == nullptr) return status;
    const velkor::Id3v2FrameEntry& entry = *frame_entry(index);
    const velkor::Id3v2Tag& tag = info.id3v2_tag;
    const velkor::Id3v2BodyLayout layout = velkor::id3v2_body_layout(frame_of(tag, entry));
    ours = velkor_frame_info{};
    ours.size = sizeof ours;
    ours.flags = entry.flags;
    std::memcpy(ours.id, entry.id, sizeof entry.id);
    const char* v24 = tag.version == 2 ? velkor::id3v2_v24_id(entry.id) : entry.id;
    std::memcpy(ours.id_v24, v24, std::strlen(v24));
    ours.kind = static_cast<int32_t>(values->kind);
    ours.encrypted = layout.encrypted ? 1 : 0;
    ours.compressed = layout.compressed ? 1 : 0;
    ours.value_count = static_cast<int32_t>(values->values.size());
    ours.body_size = values->readable || layout.encrypted ? values->content_size : -1;
    ours.rating = values->rating;
    ours.toc_flags = values->toc_flags;
    ours.play_count = values->play_count;
    ours.start_ms = values->start_ms;
    ours.end_ms = values->end_ms;
    ours.start_offset = values->start_offset;
    ours.end_offset = values->end_offset;
    ours.child_count = static_cast<int32_t>(values->children.size());
    ours.truncated = values->truncated ? 1 : 0;
    return VELKOR_OK;
}

extern "C" {

namespace {

// A text of a frame and its size in bytes (a unique id's identifier may
// hold zero bytes); nullptr where velkor_frame_text gives NULL.
const char* frame_text_of(const velkor_file* file, int32_t index, int32_t field, int32_t value_index,
                          std::size_t& size) {
    if (file == nullptr) return nullptr;
    int32_t status = VELKOR_OK;
    const velkor::Id3v2FrameValues* values = file->frame(index, status);
    if (values == nullptr) return nullptr;
    auto text = [&](const std::string& s) {
        size = s.size();
        return s.c_str();
    };
    auto item = [&](const std::vector<std::string>& list) -> const char* {
        return value_index >= 0 && static_cast<std::size_t>(value_index) < list.size() ? text(list[value_index])
                                                                                     : nullptr;
    };
    auto fixed = [&](const char* s) {
        size = std::strlen(s);
        return s;
    };
    switch (field) {
        case VELKOR_FRAME_VALUE: return item(values->values);
        case VELKOR_FRAME_CHILD: return item(values->children);
        case VELKOR_FRAME_DESCRIPTION: return text(values->description);
        case VELKOR_FRAME_LANGUAGE: return text(values->language);
        case VELKOR_FRAME_OWNER: return text(values->owner);
        case VELKOR_FRAME_ELEMENT_ID: return text(values->element_id);
        case VELKOR_FRAME_TITLE: return text(values->title);
        case VELKOR_FRAME_GENRE: return item(values->genres);
        case VELKOR_FRAME_KIND_NAME: return fixed(velkor::id3v2_kind_name(values->kind));
        case VELKOR_FRAME_NAME:
        case VELKOR_FRAME_FIELD: {
            const velkor::Id3v2FrameEntry& entry = *file->frame_entry(index);
            const velkor::Id3v2FrameRow* row = velkor::id3v2_frame_row(entry.id, file->info.id3v2_tag.version);
            if (row == nullptr) return fixed("");
            return fixed(field == VELKOR_FRAME_NAME ? row->name : velkor::id3v2_field_name(row->field));
        }
        default: return nullptr;
    }
}

}  // namespace

VELKOR_API const char* VELKOR_CALL velkor_frame_text(const velkor_file* file, int32_t index, int32_t field,
                                                   int32_t value_index) {
    return velkor::guarded_value<const char*>(nullptr, [&] {
        std::size_t size = 0;
        return frame_text_of(file, index, field, value_index, size);
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_frame_text_size(const velkor_file* file, int32_t index, int32_t field,
                                                    int32_t value_index) {
    return velkor::guarded_value<int32_t>(-1, [&] {
        std::size_t size = 0;
        if (frame_text_of(file, index, field, value_index, size) == nullptr) return -1;
        return static_cast<int32_t>(std::min<std::size_t>(size, 0x7FFFFFFF));
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_read_frame(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Id3v2FrameEntry* entry = file ? file->frame_entry(index) : nullptr;
    if (entry == nullptr || buffer == nullptr || size < 0) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        velkor_file::Reread reread;
        const int32_t opened = file->reread(reread);
        if (opened != VELKOR_OK) return opened;
        velkor::ByteSource& source = *reread.source;
        const velkor::Id3v2Tag& tag = file->info.id3v2_tag;
        const velkor::Id3v2Frame frame = frame_of(tag, *entry);
        velkor::TagCursor body = frame_body(source, tag, *entry);
        const velkor::Id3v2BodyLayout layout = velkor::id3v2_body_layout(frame);
        if (layout.encrypted) {
            // As stored, behind the prefix: only its owner can decrypt it.
            body.skip(layout.prefix);
            if (body.left() > static_cast<std::size_t>(size)) return VELKOR_ERROR_ARGUMENT;
            body.read(static_cast<uint8_t*>(buffer), body.left());
            return VELKOR_OK;
        }
        velkor::Id3v2FrameContent content(source, frame, body);
        if (!content.ok()) return VELKOR_ERROR_READ;
        velkor::TagCursor& bytes = content.cursor();
        if (bytes.left() > static_cast<std::size_t>(size)) return VELKOR_ERROR_ARGUMENT;
        bytes.read(static_cast<uint8_t*>(buffer), bytes.left());
        return VELKOR_OK;
    });
}

}  // extern "C"
