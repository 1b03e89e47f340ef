// Keeping the bytes of the frames not decoded at open.
#include "interface/kept_frames.h"

#include <algorithm>

namespace velkor {

void KeptFrames::keep(ByteSource& source, const Id3v2Tag& tag,
                      const std::vector<std::unique_ptr<Id3v2FrameValues>>& decoded) {
    int64_t begin = INT64_MAX, end = 0;
    for (std::size_t i = 0; i < tag.frames.size(); ++i) {
        if (i < decoded.size() && decoded[i]) continue;
        const Id3v2FrameEntry& entry = tag.frames[i];
        begin = std::min(begin, entry.body_offset);
        end = std::max(end, entry.body_offset + static_cast<int64_t>(entry.stored_size));
    }
    bytes_.clear();
    if (end <= begin || end - begin > static_cast<int64_t>(kKeptFramesLimit)) return;
    bytes_.resize(static_cast<std::size_t>(end - begin));
    if (source.read(begin, bytes_.data(), bytes_.size()) != bytes_.size()) {
        bytes_.clear();
        bytes_.shrink_to_fit();
        return;
    }
    at_ = begin;
}

}  // namespace velkor
