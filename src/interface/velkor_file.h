// The handle behind velkor_file: what one analysis of a file keeps (its
// facts, texts, frames, pictures and APEv2 items) and how it reads the file
// again. Private to src/interface, whose files each give one part of the
// interface over it.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/decimal_text.h"
#include "base/text_buffer.h"
#include "base/utf8.h"
#include "interface/c_boundary.h"
#include "interface/file_status.h"
#include "interface/file_memory.h"
#include "interface/kept_frames.h"
#include "interface/key_hooks.h"
#include "interface/memory_file.h"
#include "platform/file_source.h"
#include "stream/mp3_file_info.h"
#include "stream/streamed_file.h"
#include "save/id3v1_save.h"
#include "frames/frame_codec.h"
#include "tags/common_facts.h"
#include "tags/genre_table.h"
#include "velkor.h"

// Fields of velkor_text, in the order of their numbers' ranges.
inline constexpr int32_t kId3v2First = VELKOR_ID3V2_TITLE, kId3v2Last = VELKOR_ID3V2_DATE;
inline constexpr int32_t kId3v1First = VELKOR_ID3V1_TITLE, kId3v1Last = VELKOR_ID3V1_GENRE;
inline constexpr int32_t kStreamFirst = VELKOR_STREAM_ENCODER, kStreamLast = VELKOR_STREAM_LAME_PRESET;
inline constexpr int32_t kCommonFirst = VELKOR_TAG_RELEASE_DATE, kCommonLast = VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID;
inline constexpr int32_t kCommonCount = kCommonLast - kCommonFirst + 1;
static_assert(kCommonCount == velkor::CommonFacts::kTextCount &&
                  VELKOR_TAG_MUSICBRAINZ_TRACK_ID - kCommonFirst == velkor::CommonFacts::kMusicBrainzTrack,
              "the common texts are numbered as velkor.h numbers them");
inline constexpr int32_t kId3v2Count = kId3v2Last - kId3v2First + 1;
inline constexpr int32_t kId3v1Count = kId3v1Last - kId3v1First + 1;
inline constexpr int32_t kStreamCount = kStreamLast - kStreamFirst + 1;

static_assert(static_cast<int32_t>(velkor::Id3v2FrameKind::kText) == VELKOR_FRAME_TEXT &&
                  static_cast<int32_t>(velkor::Id3v2FrameKind::kOther) == VELKOR_FRAME_OTHER,
              "frame kinds are numbered as velkor.h numbers them");

// Copies a record of `size` bytes (the caller's) from ours, the size field
// kept as the caller set it.
template <typename Record>
int32_t copy_record(const Record& ours, Record* theirs) {
    if (theirs == nullptr || theirs->size < sizeof(uint32_t)) return VELKOR_ERROR_ARGUMENT;
    const uint32_t size = theirs->size;
    std::memcpy(reinterpret_cast<char*>(theirs) + sizeof(uint32_t),
                reinterpret_cast<const char*>(&ours) + sizeof(uint32_t),
                std::min<std::size_t>(size, sizeof(Record)) - sizeof(uint32_t));
    return VELKOR_OK;
}

// Copies text into buffer, cut at a character's boundary; returns the
// room the whole text needs.
inline int32_t copy_text(const std::string& text, char* buffer, int32_t size) {
    if (buffer != nullptr && size > 0) {
        std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
        while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(std::min<std::size_t>(text.size() + 1, 0x7FFFFFFF));
}

struct velkor_file {
    velkor::Mp3FileInfo info;
    velkor_file_facts facts = {};
    velkor_tag_facts_info tag_facts = {};
    std::string id3v2[kId3v2Count];
    std::string id3v1[kId3v1Count];
    std::string stream[kStreamCount];
    std::string common[kCommonCount];
    velkor::platform::FileIdentity identity;  // the file analysed, for reading its pictures and frames
    std::wstring wide_path;  // the name a wide entry point (Windows) opened: pictures are read again by it

    const std::string* text(int32_t field) const {
        if (field >= kId3v2First && field <= kId3v2Last) return &id3v2[field - kId3v2First];
        if (field >= kId3v1First && field <= kId3v1Last) return &id3v1[field - kId3v1First];
        if (field >= kStreamFirst && field <= kStreamLast) return &stream[field - kStreamFirst];
        if (field >= kCommonFirst && field <= kCommonLast) return &common[field - kCommonFirst];
        return nullptr;
    }

    const velkor::Apev2Item* ape_item(int32_t index) const {
        const auto& items = info.apev2_tag.items;
        return index >= 0 && static_cast<std::size_t>(index) < items.size() ? &items[index] : nullptr;
    }

    // The frames' values by index: those decoded at open stay where the
    // tag's reading put them (info.id3v2_tag.decoded), the others are
    // decoded as they are asked for into later_values, the handle's own
    // cache (a handle is used by one thread at a time).
    mutable std::vector<velkor::Id3v2FrameValues*> frame_values;
    mutable std::vector<std::unique_ptr<velkor::Id3v2FrameValues>> later_values;
    mutable std::size_t frame_text_bytes = 0;  // what their texts hold, at most kMaxFrameTextTotal
    mutable std::shared_ptr<void> key_view;    // the merged view by keys (tag_keys_api.cpp)
    velkor::KeptFrames kept_frames;            // the bytes of the frames not decoded at open
    // The JSON object velkor_file_json gave last; kept for another call
    // with these options when it named the handle's own path (a scan's
    // threads write it ahead for the caller).
    velkor::TextBuffer json;
    uint32_t json_options = 0;
    bool json_kept = false;

    const velkor::Id3v2FrameEntry* frame_entry(int32_t index) const {
        const auto& frames = info.id3v2_tag.frames;
        return index >= 0 && static_cast<std::size_t>(index) < frames.size() ? &frames[index] : nullptr;
    }
    // Frame `index` decoded, read from the file the first time; NULL with
    // the status when it cannot be.
    const velkor::Id3v2FrameValues* frame(int32_t index, int32_t& status) const;
    // The same with its record (velkor_frame's); VELKOR_OK or the status.
    int32_t frame_info(int32_t index, velkor_frame_info& record, const velkor::Id3v2FrameValues*& values) const;
    // Decodes every frame from source, the file still open at velkor_open
    // (VELKOR_OPEN_ALL_FRAMES); one it cannot read is left to be read again.
    void decode_frames(velkor::platform::FileSource& source);
    // While set, the open file frame() reads from instead of opening it again.
    mutable velkor::platform::FileSource* open_source = nullptr;
    // Drops the frame's texts when they would take the handle past its budget.
    void keep_within_budget(velkor::Id3v2FrameValues& values) const;
    // Opens the analysed file again: VELKOR_OK, the open's status, or
    // VELKOR_ERROR_CHANGED when the name now holds another file or the file
    // changed, since the offsets kept are the analysed file's.
    int32_t reopen(velkor::platform::FileSource& source) const;

    // A handle of velkor_open_memory: the bytes of its ID3v2 tag, where its
    // frames and pictures are read, as it has no file to open again.
    bool from_memory = false;
    std::vector<uint8_t> kept_tag;
    // The bytes frames and pictures are read from: the file opened again,
    // or the kept tag; the status of reopen.
    struct Reread {
        velkor::platform::FileSource file;
        velkor::SpanSource kept{velkor::ByteSpan()};
        velkor::ByteSource* source = nullptr;
        int64_t size = 0;
    };
    int32_t reread(Reread& bytes) const {
        if (from_memory) {
            bytes.kept = velkor::SpanSource(velkor::ByteSpan(kept_tag.data(), kept_tag.size()));
            bytes.source = &bytes.kept;
            bytes.size = static_cast<int64_t>(kept_tag.size());
            return VELKOR_OK;
        }
        const int32_t status = reopen(bytes.file);
        bytes.source = &bytes.file;
        bytes.size = bytes.file.size();
        return status;
    }

    const velkor::Id3v2Picture* picture(int32_t index) const {
        const auto& pictures = info.id3v2_tag.pictures;
        return index >= 0 && static_cast<std::size_t>(index) < pictures.size() ? &pictures[index] : nullptr;
    }

    // Fills the facts and texts from the analysis; has_audio false: of a
    // file without MPEG audio, whose stream figures are unknown.
    void gather(bool has_audio);
    // The common facts, from the tags before their texts move out.
    void gather_common();
};

// Analyses the size bytes of source into a new handle. `streamed`: source
// is a stream's head and tail, whose frames it counted as they passed.
// keep_frames: the bodies of the frames not decoded are kept from the
// analysis' own reads (a file's handle, which decodes them later).
int32_t analyse_into(velkor::ByteSource& source, int64_t size, const char* utf8_path, uint32_t options,
                     velkor_file** out, velkor::StreamedFile* streamed = nullptr, bool keep_frames = false);

inline constexpr uint32_t kOpenOptions = VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO | VELKOR_OPEN_ALL_FRAMES;

// Opens and analyses; `open` opens the FileSource by the caller's path.
template <typename Open>
int32_t open_file(const char* utf8_path, uint32_t options, velkor_file** out, Open open) {
    using velkor::platform::FileSource;
    if (out == nullptr) return VELKOR_ERROR_ARGUMENT;
    *out = nullptr;
    if (utf8_path == nullptr || (options & ~kOpenOptions) != 0) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        FileSource source;
        const int32_t opened = velkor::status_of(open(source), VELKOR_ERROR_READ);
        if (opened != VELKOR_OK) return opened;
        const int32_t status = analyse_into(source, source.size(), utf8_path, options, out, nullptr, true);
        if (source.read_failed()) {
            // Facts read with a gap are no facts of the file: "no tag" or
            // "no audio" may only mean that the file has none.
            velkor_close(*out);
            *out = nullptr;
            return VELKOR_ERROR_READ;
        }
        if (*out != nullptr) {
            (*out)->identity = source.identity();
            // Every frame decoded while the file is open: asking for them
            // later then needs no second open.
            if ((options & VELKOR_OPEN_ALL_FRAMES) != 0) (*out)->decode_frames(source);
        }
        return status;
    });
}

// Writes the ID3v1 tag of the file at path (velkor_write_id3v1).
int32_t write_id3v1(const std::string& path, bool utf8_path, const velkor_id3v1_fields* given);
