// Keeping the bytes of the frames not decoded at open.
#include "interface/kept_frames.h"

#include <algorithm>

namespace velkor {

void KeptFrames::keep(ByteSource& source, const Id3v2Tag& tag) {
    parts_.clear();
    bytes_.clear();
    std::size_t total = 0;
    auto decoded = tag.decoded.begin();  // in the order of the tag
    for (std::size_t i = 0; i < tag.frames.size(); ++i) {
        const Id3v2FrameEntry& entry = tag.frames[i];
        while (decoded != tag.decoded.end() && decoded->index < i) ++decoded;
        if ((decoded != tag.decoded.end() && decoded->index == i) || entry.stored_size > kKeptFrameLimit) continue;
        if (total + entry.stored_size > kKeptFramesLimit) break;
        if (!parts_.empty() && entry.body_offset < parts_.back().at + static_cast<int64_t>(parts_.back().size)) continue;
        parts_.push_back({entry.body_offset, total, entry.stored_size});
        total += entry.stored_size;
    }
    bytes_.resize(total);
    std::vector<Part> whole;
    for (const Part& part : parts_) {
        if (source.read(part.at, bytes_.data() + part.start, part.size) == part.size) whole.push_back(part);
    }
    parts_ = std::move(whole);
    if (parts_.empty()) {
        bytes_.clear();
        bytes_.shrink_to_fit();
    }
}

const KeptFrames::Part* KeptFrames::part_at(int64_t offset) const {
    auto after = std::upper_bound(parts_.begin(), parts_.end(), offset,
                                  [](int64_t at, const Part& part) { return at < part.at; });
    if (after == parts_.begin()) return nullptr;
    const Part& part = *(after - 1);
    return offset < part.at + static_cast<int64_t>(part.size) ? &part : nullptr;
}

}  // namespace velkor
