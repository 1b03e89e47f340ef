// Reading a file's tags for an edit.
#include "stream/tag_rewrite.h"

#include <algorithm>
#include <cstring>

#include "tags/id3v2_header.h"
#include "tags/id3v2_tag.h"

namespace velkor {

namespace {

std::vector<uint8_t> read_bytes(ByteSource& source, int64_t from, int64_t to) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::max<int64_t>(to - from, 0)));
    bytes.resize(source.read(from, bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace

TaggedFile read_tagged_file(ByteSource& source, int64_t size) {
    TaggedFile file;
    file.file_size = size;
    Id3v2Header header;
    if (parse_id3v2_header(source.bytes(0, Id3v2Header::kSize), header)) {
        const std::vector<uint8_t> tag = read_bytes(source, 0, std::min(header.end(), size));
        file.id3v2 = Id3v2Edit(ByteSpan(tag.data(), tag.size()));
        file.audio_begin = file.id3v2.room();
    }
    const TrailingTags trailing = peel_trailing_tags(source, size, file.audio_begin);
    file.audio_end = trailing.audio_end;
    for (auto tag = trailing.tags.rbegin(); tag != trailing.tags.rend(); ++tag) {
        if (tag->kind == TrailingTag::Kind::kId3v1) {
            // Only the outermost is the file's tag; copies inside it go.
            if (tag->end == size) {
                const std::vector<uint8_t> bytes = read_bytes(source, tag->begin, tag->end);
                file.has_id3v1 = bytes.size() == sizeof file.id3v1;
                if (file.has_id3v1) std::memcpy(file.id3v1, bytes.data(), bytes.size());
            }
            continue;
        }
        file.trailing.push_back({tag->kind, read_bytes(source, tag->begin, tag->end)});
    }
    return file;
}

}  // namespace velkor
