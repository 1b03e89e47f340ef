// The bytes of the ID3v2 frames a handle did not decode at open, kept from
// the open's own read so that velkor_frame and velkor_frame_text decode
// them without opening the file a second time. Kept only while they are
// few (kKeptFramesLimit); a tag with more is read again when asked, as
// before, so a handle's memory stays bounded.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/byte_source.h"
#include "tags/id3v2_tag.h"

namespace velkor {

struct Id3v2FrameValues;

constexpr std::size_t kKeptFramesLimit = 2 * 1024 * 1024;
// A larger frame (a cover, mostly) is not kept: reading it at open would
// cost every open what only a caller of its frame needs.
constexpr uint32_t kKeptFrameLimit = 64 * 1024;

class KeptFrames {
public:
    // Keeps the bodies of the frames of `tag` it did not decode, each up to
    // kKeptFrameLimit and all up to kKeptFramesLimit; one that source
    // cannot give whole is not kept.
    void keep(ByteSource& source, const Id3v2Tag& tag);
    // Whether the bytes of `entry`'s body are kept.
    bool covers(const Id3v2FrameEntry& entry) const {
        const Part* part = part_at(entry.body_offset);
        return part != nullptr && entry.body_offset + entry.stored_size <= part->at + static_cast<int64_t>(part->size);
    }
    std::size_t held() const { return bytes_.capacity() + parts_.capacity() * sizeof(Part); }

    // The kept bytes at their offsets in the file.
    class Source final : public ByteSource {
    public:
        explicit Source(const KeptFrames& kept) : kept_(kept) {}
        ByteSpan bytes(int64_t offset, std::size_t n) override {
            const Part* part = kept_.part_at(offset);
            if (part == nullptr) return ByteSpan();
            return ByteSpan(kept_.bytes_.data() + part->start, part->size)
                .from(static_cast<std::size_t>(offset - part->at))
                .first(n);
        }

    private:
        const KeptFrames& kept_;
    };

private:
    struct Part {
        int64_t at;         // in the file
        std::size_t start;  // in bytes_
        std::size_t size;
    };
    // The part holding the byte at offset, or nullptr.
    const Part* part_at(int64_t offset) const;

    std::vector<Part> parts_;  // by offset
    std::vector<uint8_t> bytes_;
};

}  // namespace velkor
