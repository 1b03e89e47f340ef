// The checks of the fuzz targets for the trailing tags (APE, Lyrics3 and
// the peeling of both with ID3v1), other formats' signatures, the
// inflation of compressed frames and the editing of ID3v2 tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/big_endian.h"
#include "fuzz_checks.h"
#include "stream/format_signature.h"
#include "tags/apev2_tag.h"
#include "tags/id3v2_edit.h"
#include "frames/frame_codec.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"
#include "tags/frame_inflate.h"
#include "tags/lyrics3.h"
#include "tags/trailing_tags.h"

namespace velkor::fuzzing {

// The input as a file's end: every item lies inside its tag, every text is
// valid UTF-8 within its bound, and the peeled tags are contiguous.
inline Failure check_trailing_tags(const uint8_t* data, std::size_t size) {
    const ExactCopy copy(data, size);
    SpanSource source(copy.span());
    const auto end = static_cast<int64_t>(size);
    const Apev2Tag ape = read_apev2_tag(source, end);
    VELKOR_FUZZ_CHECK(ape.version == 0 || ape.version == 1000 || ape.version == 2000);
    VELKOR_FUZZ_CHECK(ape.items.size() <= Apev2Tag::kMaxItems);
    for (const Apev2Item& item : ape.items) {
        VELKOR_FUZZ_CHECK(item.key.size() >= 2 && item.key.size() <= 255);
        VELKOR_FUZZ_CHECK(item.value_offset > ape.begin);
        VELKOR_FUZZ_CHECK(item.value_offset + item.value_size <= end - 32);
        for (const std::string& value : item.values) {
            VELKOR_FUZZ_CHECK(valid_utf8(value) && value.size() <= 3 * Apev2Tag::kMaxValueSize);
        }
    }
    const Lyrics3Block lyrics = find_lyrics3_block(source, end);
    VELKOR_FUZZ_CHECK(lyrics.version == 0 || (lyrics.begin >= 0 && lyrics.begin + 20 <= lyrics.end));

    const int64_t floor = copy.span().at(0) % 64;
    const TrailingTags tags = peel_trailing_tags(source, end, floor);
    VELKOR_FUZZ_CHECK(tags.tags.size() <= TrailingTags::kMaxTags);
    int64_t at = end;
    for (const TrailingTag& tag : tags.tags) {
        VELKOR_FUZZ_CHECK(tag.end == at && tag.begin < tag.end && tag.begin >= floor);
        at = tag.begin;
    }
    VELKOR_FUZZ_CHECK(tags.audio_end == at);
    return nullptr;
}

// The input as a file's start: the MPEG audio found in a RIFF file lies
// inside it, and every format has a name.
inline Failure check_format_signature(const uint8_t* data, std::size_t size) {
    const ExactCopy copy(data, size);
    SpanSource source(copy.span());
    const auto end = static_cast<int64_t>(size);
    const FormatSignature found = identify_format(source, 0, end);
    VELKOR_FUZZ_CHECK((found.format == FileFormat::kNone) == (format_name(found.format)[0] == '\0'));
    if (found.format == FileFormat::kRiffMpeg) {
        VELKOR_FUZZ_CHECK(found.data_offset >= 20 && found.data_size >= 0);
        VELKOR_FUZZ_CHECK(found.data_offset + found.data_size <= end);
    }
    return nullptr;
}

// The input as a version 2.3 frame body, and as zlib data inflated within
// the limit its first byte gives: nothing inflates past its limit.
inline Failure check_frame_inflate(const uint8_t* data, std::size_t size) {
    const ExactCopy copy(data, size);
    const InflatedFrame v23 = inflate_v23_frame_body(copy.span());
    const uint32_t declared = size < 4 ? 0 : big_endian32(copy.span(), 0);
    VELKOR_FUZZ_CHECK(v23.status == InflateStatus::kOk || v23.bytes.empty());
    VELKOR_FUZZ_CHECK(v23.status != InflateStatus::kOk || v23.bytes.size() <= kMaxInflatedFrameSize);
    VELKOR_FUZZ_CHECK(v23.status != InflateStatus::kOk || v23.size_differs == (v23.bytes.size() != declared));
    const uint32_t small = uint32_t{copy.span().at(0)} * 64;
    const InflatedFrame raw = inflate_frame(copy.span().from(1), small, small);
    VELKOR_FUZZ_CHECK(raw.bytes.size() <= small);
    return nullptr;
}

// The input as an ID3v2 tag, one frame changed (which, and the version of
// a new tag, chosen by the input's last byte), written and read again: the
// changed frame has its new value, every other frame is the one read, in
// its place, with the same bytes and flags.
inline Failure check_id3v2_edit(const uint8_t* data, std::size_t size) {
    const ExactCopy copy(data, size);
    Id3v2Edit edit(copy.span());
    const uint8_t choice = copy.span().at(size - 1);
    const std::string value = "fuzz \xE2\x9C\x93", description = "key";
    const char* id = "TIT2";
    switch (choice % 3) {
        case 0: edit.set_text("TIT2", {value}); break;
        case 1:
            edit.set_user_text(description, {value});
            id = "TXXX";
            break;
        default:
            edit.set_described_text("COMM", "eng", description, &value);
            id = "COMM";
            break;
    }
    const Id3v2Written written = edit.write((choice & 0x80) != 0);
    VELKOR_FUZZ_CHECK(!written.too_large && !written.bytes.empty());
    const ByteSpan bytes(written.bytes.data(), written.bytes.size());
    Id3v2Header header;
    VELKOR_FUZZ_CHECK(parse_id3v2_header(bytes, header) && header.tag_size() == static_cast<int64_t>(bytes.size));
    VELKOR_FUZZ_CHECK(header.version == written.version && header.flags == 0);

    const Id3v2Edit again(bytes);
    const std::vector<Id3v2EditFrame>& before = edit.frames();
    const std::vector<Id3v2EditFrame>& after = again.frames();
    VELKOR_FUZZ_CHECK(after.size() == before.size() && again.dropped() == 0);
    SpanSource source(bytes);
    Id3v2FrameWalk walk(source, header, header.tag_size());
    Id3v2Frame frame;
    TagCursor body;
    bool changed_found = false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        VELKOR_FUZZ_CHECK(walk.next(frame, body) && std::strcmp(frame.id, before[i].id) == 0);
        VELKOR_FUZZ_CHECK(std::strcmp(after[i].id, before[i].id) == 0);
        if (before[i].fresh) {
            const Id3v2FrameValues values = read_id3v2_frame_values(source, frame, body);
            VELKOR_FUZZ_CHECK(std::strcmp(frame.id, id) == 0 && !changed_found);
            VELKOR_FUZZ_CHECK(values.values.size() == 1 && values.values[0] == value);
            VELKOR_FUZZ_CHECK(values.description == (choice % 3 == 0 ? "" : description));
            changed_found = true;
            continue;
        }
        VELKOR_FUZZ_CHECK(after[i].stored == before[i].stored && after[i].flags == before[i].flags);
    }
    VELKOR_FUZZ_CHECK(changed_found && !walk.next(frame, body));
    return nullptr;
}

}  // namespace velkor::fuzzing
