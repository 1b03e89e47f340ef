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

class KeptFrames {
public:
    // Keeps the bytes from the first frame of `tag` without values in
    // `decoded` to the end of the last one, when they are at most
    // kKeptFramesLimit; keeps nothing when source gives fewer bytes.
    void keep(ByteSource& source, const Id3v2Tag& tag,
              const std::vector<std::unique_ptr<Id3v2FrameValues>>& decoded);
    // Whether the bytes of `entry`'s body are kept.
    bool covers(const Id3v2FrameEntry& entry) const {
        return !bytes_.empty() && entry.body_offset >= at_ &&
               entry.body_offset + entry.stored_size <= at_ + static_cast<int64_t>(bytes_.size());
    }
    std::size_t held() const { return bytes_.capacity(); }

    // The kept bytes at their offsets in the file.
    class Source final : public ByteSource {
    public:
        explicit Source(const KeptFrames& kept) : kept_(kept) {}
        ByteSpan bytes(int64_t offset, std::size_t n) override {
            if (offset < kept_.at_) return ByteSpan();
            return ByteSpan(kept_.bytes_.data(), kept_.bytes_.size())
                .from(static_cast<std::size_t>(offset - kept_.at_))
                .first(n);
        }

    private:
        const KeptFrames& kept_;
    };

private:
    int64_t at_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace velkor
