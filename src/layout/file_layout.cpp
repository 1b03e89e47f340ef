// Deciding a file's layout: the ID3v2 tag's trust, the audio's span, the
// tags behind it.
#include "layout/file_layout.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/big_endian.h"
#include "stream/frame_scan.h"

namespace velkor {

namespace {

// The flags each version defines; any other bit set is a header that
// was not written as that version's.
uint8_t defined_flags(uint8_t version) {
    switch (version) {
        case 2: return 0xC0;  // unsynchronisation, compression
        case 3: return 0xE0;  // unsynchronisation, extended header, experimental
        case 4: return 0xF0;  // the same and the footer
        default: return 0;
    }
}

// Whether the footer announced by a 2.4 header stands behind the tag and
// tells its version and size.
bool footer_fits(ByteSource* source, const Id3v2Header& header) {
    if ((header.flags & Id3v2Header::kFlagFooter) == 0 || header.version != 4) return true;
    if (source == nullptr) return false;
    const ByteSpan footer = source->bytes(header.tag_size(), Id3v2Header::kSize);
    return footer.size == Id3v2Header::kSize && footer.at(0) == '3' && footer.at(1) == 'D' && footer.at(2) == 'I' &&
           footer.at(3) == header.version && footer.at(5) == header.flags &&
           (footer.at(6) | footer.at(7) | footer.at(8) | footer.at(9)) < 0x80 && syncsafe32(footer, 6) == header.size;
}

}  // namespace

Id3v2Region id3v2_region(ByteSpan bytes, int64_t file_size, ByteSource* source) {
    Id3v2Region region;
    if (!parse_id3v2_header(bytes, region.header)) return region;
    region.present = true;
    region.end = region.header.end();
    const uint8_t defined = defined_flags(region.header.version);
    region.trusted = defined != 0 && (region.header.flags & ~defined) == 0 && region.end <= file_size &&
                     footer_fits(source, region.header);
    return region;
}

int64_t audio_search_start(const Id3v2Region& id3v2, int64_t file_size) {
    return id3v2.present && id3v2.end < file_size - 4 ? id3v2.end : 0;
}

int64_t repeated_id3v2_end(ByteSpan bytes, int64_t at, int64_t first_end, int64_t file_size) {
    Id3v2Header header;
    if (!parse_id3v2_header(bytes, header)) return -1;
    const int64_t end = at + header.end();
    return end < file_size - 4 && end - first_end <= kMaxRepeatedBytes ? end : -1;
}

FileLayout describe_file(ByteSource& source, int64_t size) {
    FileLayout layout;
    size = std::max<int64_t>(0, size);
    layout.size = size;
    layout.id3v2 = id3v2_region(source.bytes(0, Id3v2Header::kSize), size, &source);
    int64_t start = audio_search_start(layout.id3v2, size);
    for (int i = 0; i < kMaxRepeatedId3v2 && start > 0; ++i) {
        const int64_t end = repeated_id3v2_end(source.bytes(start, Id3v2Header::kSize), start, layout.id3v2.end, size);
        if (end < 0) break;
        start = end;
    }

    // No trailing tag reaches into a tag a save may overwrite, nor in
    // front of where the audio is searched for.
    const int64_t floor = layout.id3v2.trusted ? std::max(start, layout.id3v2.end) : start;
    TrailingTags trailing = peel_trailing_tags(source, size, floor);
    layout.tags_begin = trailing.audio_end;
    layout.trailing = std::move(trailing.tags);
    if (!layout.trailing.empty() && layout.trailing.front().kind == TrailingTag::Kind::kId3v1) {
        layout.id3v1_begin = layout.trailing.front().begin;
    }

    // Another format's file is no MPEG audio, whatever its bytes hold; MPEG
    // audio in a RIFF file is its data chunk.
    const FormatSignature at_start = identify_format(source, 0, size);
    layout.format = at_start.format == FileFormat::kNone && start > 0 ? identify_format(source, start, size) : at_start;
    layout.audio_begin = start;
    layout.audio_end = layout.tags_begin;
    if (layout.format.format == FileFormat::kRiffMpeg) {
        layout.audio_begin = layout.format.data_offset;
        layout.audio_end = std::min(layout.audio_end, layout.format.data_offset + layout.format.data_size);
    }
    return layout;
}

int64_t find_first_frame(ByteSource& source, const FileLayout& layout) {
    // A small block first (the frame is usually right there), then large ones.
    std::size_t block = 4096;
    if (layout.other_format()) return -1;
    FirstFrameScan scan(layout.audio_begin, layout.size, layout.audio_end);
    FirstFrameScan::Step step = FirstFrameScan::Step::kNeedBytes;
    while (step == FirstFrameScan::Step::kNeedBytes) {
        const int64_t at = scan.next();
        const ByteSpan window = source.bytes(at, block);
        const bool complete = window.size < block;
        step = scan.scan(window, at, complete);
        block = 64 * 1024;
    }
    // A header inside a trailing tag is the tag's bytes, not audio.
    if (step != FirstFrameScan::Step::kFound || scan.found() + 4 > layout.audio_end) return -1;
    return scan.found();
}

}  // namespace velkor
