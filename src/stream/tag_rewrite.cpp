// Reading a file's tags for an edit.
#include "stream/tag_rewrite.h"

#include <algorithm>
#include <cstring>

#include "layout/file_layout.h"
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
    const FileLayout layout = describe_file(source, size);
    file.other_format = layout.other_format();
    file.tags_only = layout.tags_only();
    file.has_audio = !file.tags_only && find_first_frame(source, layout) >= 0;
    // Only a tag whose header can be trusted is replaced; the bytes an
    // untrusted header claims (the audio, as often as not) stay where they
    // are behind the new tag.
    if (layout.id3v2.trusted) {
        const std::vector<uint8_t> tag = read_bytes(source, 0, layout.id3v2.end);
        file.id3v2 = Id3v2Edit(ByteSpan(tag.data(), tag.size()));
        file.audio_begin = file.id3v2.room();
    }
    file.audio_end = layout.tags_begin;
    for (auto tag = layout.trailing.rbegin(); tag != layout.trailing.rend(); ++tag) {
        // Only the outermost ID3v1 tag is the file's; copies inside it are
        // kept as stored, like every tag the edit does not change.
        if (tag->kind == TrailingTag::Kind::kId3v1 && tag->begin == layout.id3v1_begin) {
            const std::vector<uint8_t> bytes = read_bytes(source, tag->begin, tag->end);
            file.has_id3v1 = bytes.size() == sizeof file.id3v1;
            if (file.has_id3v1) std::memcpy(file.id3v1, bytes.data(), bytes.size());
            continue;
        }
        file.trailing.push_back({tag->kind, read_bytes(source, tag->begin, tag->end)});
    }
    return file;
}

}  // namespace velkor
