// What the fuzz targets run on one input, and the invariants they check.
// Shared by the libFuzzer targets (fuzz_target.cpp) and by the test that
// replays their starting corpus and every input that once failed
// (tests/fuzz_regression_test.cpp), so a found failure stays a test case.
//
// Each check returns nullptr when every invariant held, otherwise the text of
// the first one that did not. Memory faults are left to the sanitizers: the
// decoders get an exact-size heap copy of the input, so a read one byte past
// it is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "base/byte_span.h"
#include "stream/frame_header.h"
#include "stream/frame_scan.h"
#include "stream/vbr_header.h"
#include "base/decimal_text.h"
#include "tags/id3v2_tag.h"
#include "tags/tag_record.h"

#define VELKOR_FUZZ_STR2(x) #x
#define VELKOR_FUZZ_STR(x) VELKOR_FUZZ_STR2(x)
#define VELKOR_FUZZ_CHECK(condition)                                                      \
    do {                                                                                  \
        if (!(condition)) return "line " VELKOR_FUZZ_STR(__LINE__) ": " #condition; \
    } while (0)

namespace velkor::fuzzing {

using Failure = const char*;

// The input again, in a heap block of exactly its size.
class ExactCopy {
public:
    ExactCopy(const uint8_t* data, std::size_t size) : bytes_(new uint8_t[size]), size_(size) {
        if (size > 0) std::memcpy(bytes_.get(), data, size);
    }
    ByteSpan span() const { return ByteSpan(bytes_.get(), size_); }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    std::size_t size_;
};

// A text ends with a zero byte inside its field.
template <std::size_t N>
bool terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

inline bool equal_text(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Frame header ------------------------------------------------------------

inline Failure check_one_frame_header(const uint8_t* p) {
    FrameHeader h;
    h.set_bytes(p);
    VELKOR_FUZZ_CHECK(h.word == (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 |
                                 uint32_t{p[2]} << 8 | uint32_t{p[3]}));

    // The validity test, restated from the raw bits.
    const bool sync = p[0] == 0xFF && (p[1] & 0xE0) == 0xE0;
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const int bitrate = p[2] >> 4;
    const int sampling = (p[2] >> 2) & 3;
    const int emphasis = p[3] & 3;
    const bool valid = sync && version != 1 && layer != 0 && bitrate != 0 && bitrate != 15 &&
                       sampling != 3 && emphasis != 2;
    VELKOR_FUZZ_CHECK(h.is_valid() == (valid ? 1 : 0));
    VELKOR_FUZZ_CHECK(h.version_bits() == version && h.layer_bits() == layer);
    VELKOR_FUZZ_CHECK(h.bitrate_index() == bitrate && h.sampling_index() == sampling);
    VELKOR_FUZZ_CHECK(h.mode_bits() == p[3] >> 6 && h.emphasis_bits() == emphasis);

    // Every lookup stays in its table, valid header or not.
    VELKOR_FUZZ_CHECK(h.table_bitrate_kbps() >= 0 && h.table_bitrate_kbps() <= 448);
    VELKOR_FUZZ_CHECK(h.sampling_rate_hz() >= 0 && h.sampling_rate_hz() <= 48000);

    char mode[FrameHeader::kModeNameSize];
    std::memset(mode, 'x', sizeof mode);
    h.mode_name(mode);
    VELKOR_FUZZ_CHECK(terminated(mode));
    VELKOR_FUZZ_CHECK(equal_text(mode, "Stereo") || equal_text(mode, "Joint Stereo") ||
                      equal_text(mode, "Dual Channel") || equal_text(mode, "Single Channel"));

    char text[FrameHeader::kVersionTextSize];
    std::memset(text, 'x', sizeof text);
    h.version_text(text);
    VELKOR_FUZZ_CHECK(terminated(text));
    VELKOR_FUZZ_CHECK(std::strncmp(text, "MPEG ", 5) == 0);

    if (valid) {
        VELKOR_FUZZ_CHECK(h.table_bitrate_kbps() >= 8 && h.sampling_rate_hz() >= 8000);
        VELKOR_FUZZ_CHECK(h.layer_number() >= 1 && h.layer_number() <= 3);
        char expected[64];
        const char* layers[] = {"", "I", "II", "III"};
        std::snprintf(expected, sizeof expected, "MPEG %g Layer %s",
                      static_cast<double>(h.version_number()), layers[h.layer_number()]);
        VELKOR_FUZZ_CHECK(equal_text(text, expected));
    }
    return nullptr;
}

inline Failure check_xing(ByteSpan bytes) {
    VbrHeader vbr;
    const int32_t found = vbr.parse(bytes);
    const bool magic = bytes.size >= 4 && std::memcmp(bytes.data, "Xing", 4) == 0;
    VELKOR_FUZZ_CHECK(found == (magic ? 1 : 0));
    if (!magic || (bytes.at(7) & 1) == 0) {
        VELKOR_FUZZ_CHECK(vbr.frames() == -1);
    } else {
        const uint32_t count = uint32_t{bytes.at(8)} << 24 | uint32_t{bytes.at(9)} << 16 |
                               uint32_t{bytes.at(10)} << 8 | uint32_t{bytes.at(11)};
        // A count of 2^31 or more is no count.
        VELKOR_FUZZ_CHECK(vbr.frames() == (count <= 0x7FFFFFFFu ? static_cast<int32_t>(count) : -1));
    }
    return nullptr;
}

// The search for the first header and the marker windows, against plain
// loops over the same bytes.
inline Failure check_frame_scan(ByteSpan bytes) {
    const std::size_t from = bytes.at(0) % 8;
    const std::size_t cut = bytes.at(1) % 8;  // an end past the bytes, too
    const std::size_t end = cut <= bytes.size ? bytes.size - cut : SIZE_MAX;
    std::size_t first = kNoFrame;
    for (std::size_t c = from; c < end && c + 4 <= bytes.size; ++c) {
        FrameHeader h;
        h.set_bytes(bytes.data + c);
        if (h.is_valid()) {
            first = c;
            break;
        }
    }
    VELKOR_FUZZ_CHECK(find_frame_header(bytes, from, end) == first);
    VELKOR_FUZZ_CHECK(find_frame_header(bytes, 0, SIZE_MAX) ==
                      find_frame_header(bytes, 0, bytes.size));

    for (std::size_t c = 0; c <= bytes.size; ++c) {
        char window[33] = {};
        for (std::size_t i = 0; i < 32 && bytes.at(c + 1 + i) != 0; ++i) {
            window[i] = static_cast<char>(bytes.at(c + 1 + i));
        }
        VELKOR_FUZZ_CHECK(has_jukebox_marker(bytes, c) ==
                          (std::strstr(window, "RealJukebox") != nullptr));
    }
    return nullptr;
}

// The first frame's facts for the velkor interface: whatever the bytes,
// delay and padding are 12-bit numbers or both unknown, the encoder's name
// is printable text, and a count is only there with a header.
inline Failure check_vbr_read(ByteSpan frame) {
    FrameHeader header;
    header.set_bytes(frame.at(0), frame.at(1), frame.at(2), frame.at(3));
    VbrHeader vbr;
    const VbrHeader::Kind kind = vbr.read(frame, header);
    VELKOR_FUZZ_CHECK(kind == vbr.kind());
    VELKOR_FUZZ_CHECK((vbr.delay() == -1) == (vbr.padding() == -1));
    VELKOR_FUZZ_CHECK(vbr.delay() >= -1 && vbr.delay() <= 4095 && vbr.padding() <= 4095);
    VELKOR_FUZZ_CHECK(std::strlen(vbr.encoder()) <= VbrHeader::kEncoderSize);
    for (const char* c = vbr.encoder(); *c != '\0'; ++c) VELKOR_FUZZ_CHECK(*c >= 0x20 && *c <= 0x7E);
    VELKOR_FUZZ_CHECK(vbr.frames() >= -1);
    if (kind == VbrHeader::Kind::kNone) VELKOR_FUZZ_CHECK(vbr.frames() == -1 && vbr.delay() == -1);
    return nullptr;
}

// The first 4 bytes as a frame header and the rest as the bytes behind it,
// where a Xing header would be; every 4-byte window as a header too, and
// the whole as bytes to search for a header.
inline Failure check_frame_header(const uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 4 <= size; ++i) {
        if (Failure failure = check_one_frame_header(data + i)) return failure;
    }
    const ExactCopy whole(data, size);
    if (Failure failure = check_frame_scan(whole.span())) return failure;
    if (Failure failure = check_vbr_read(whole.span())) return failure;
    const std::size_t behind = size < 4 ? 0 : 4;
    const ExactCopy xing(data + behind, size - behind);
    return check_xing(xing.span());
}

// ID3v1 -------------------------------------------------------------------

inline Failure check_record_texts(const TagRecord& tag) {
    for (const TagRecord::Text* field :
         {&tag.title, &tag.artist, &tag.album, &tag.comment, &tag.v2_title, &tag.v2_album,
          &tag.v2_artist, &tag.v2_comment, &tag.v2_genre, &tag.v2_track, &tag.v2_year}) {
        VELKOR_FUZZ_CHECK(terminated(*field));
    }
    char genre[TagRecord::kGenreNameSize];
    std::memset(genre, 'x', sizeof genre);
    tag.genre_name(genre);
    VELKOR_FUZZ_CHECK(terminated(genre));
    const int32_t index = tag.genre_index();
    VELKOR_FUZZ_CHECK(index == -1000 || (index >= 0 && index < 126));
    const int32_t v2_index = tag.v2_genre_index();
    VELKOR_FUZZ_CHECK(v2_index == -1000 || (v2_index >= 0 && v2_index < 126));

    TagRecord::Text copy;
    std::memset(copy, 'x', sizeof copy);
    tag.get_comment(copy);
    VELKOR_FUZZ_CHECK(terminated(copy) && equal_text(copy, tag.comment));
    return nullptr;
}

inline bool same_id3v1_fields(const TagRecord& a, const TagRecord& b) {
    return std::memcmp(a.title, b.title, sizeof a.title) == 0 &&
           std::memcmp(a.artist, b.artist, sizeof a.artist) == 0 &&
           std::memcmp(a.album, b.album, sizeof a.album) == 0 &&
           std::memcmp(a.comment, b.comment, sizeof a.comment) == 0 && a.year == b.year &&
           a.get_track() == b.get_track() && a.version == b.version && a.genre == b.genre;
}

// The input as the last bytes of a file; a tag read from it and written
// again reads back the same.
inline Failure check_id3v1(const uint8_t* data, std::size_t size) {
    ExactCopy block(data, size);
    TagRecord tag;
    const int32_t found = tag.read_id3v1(block.span());
    const bool marker = size >= TagRecord::kId3v1Size && std::memcmp(data, "TAG", 3) == 0;
    VELKOR_FUZZ_CHECK(found == (marker ? 1 : 0) && tag.valid == found);
    if (Failure failure = check_record_texts(tag)) return failure;
    if (!found) {
        VELKOR_FUZZ_CHECK(same_id3v1_fields(tag, TagRecord()));
        return nullptr;
    }
    VELKOR_FUZZ_CHECK(tag.year >= -999 && tag.year <= 9999);
    VELKOR_FUZZ_CHECK(tag.version == 1.0f || tag.version == 1.1f);
    VELKOR_FUZZ_CHECK(tag.get_track() == -1 || (tag.get_track() >= 1 && tag.get_track() <= 255));

    uint8_t written[TagRecord::kId3v1Size];
    VELKOR_FUZZ_CHECK(tag.to_id3v1(written) == 1);
    TagRecord again;
    VELKOR_FUZZ_CHECK(again.read_id3v1(ByteSpan(written, sizeof written)) == 1);
    VELKOR_FUZZ_CHECK(same_id3v1_fields(tag, again));
    return nullptr;
}

// ID3v2 -------------------------------------------------------------------

inline bool same_v2_texts(const TagRecord& a, const TagRecord& b) {
    return equal_text(a.v2_title, b.v2_title) && equal_text(a.v2_album, b.v2_album) &&
           equal_text(a.v2_artist, b.v2_artist) && equal_text(a.v2_comment, b.v2_comment) &&
           equal_text(a.v2_genre, b.v2_genre) && equal_text(a.v2_track, b.v2_track) &&
           equal_text(a.v2_year, b.v2_year);
}

// Whether text is valid UTF-8 (shortest forms, no surrogates).
inline bool valid_utf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<uint8_t>(text[i]);
        std::size_t n = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3
                                                        : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = c << 6 | (next & 0x3F);
        }
        const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

// The full reader over the same bytes: every text valid UTF-8, a zero byte
// nowhere inside one, and every picture's data where the reader says it is.
inline Failure check_id3v2_tag(ByteSpan bytes) {
    SpanSource source(bytes);
    const Id3v2Tag tag = read_id3v2_tag(source, static_cast<int64_t>(bytes.size));
    VELKOR_FUZZ_CHECK(tag.version == 0 || (tag.version >= 2 && tag.version <= 4));
    for (const std::string* text : {&tag.title, &tag.artist, &tag.album, &tag.album_artist, &tag.year,
                                    &tag.track, &tag.disc, &tag.genre, &tag.composer, &tag.comment}) {
        VELKOR_FUZZ_CHECK(valid_utf8(*text) && text->find('\0') == std::string::npos);
    }
    for (const Id3v2Picture& picture : tag.pictures) {
        VELKOR_FUZZ_CHECK(valid_utf8(picture.mime) && valid_utf8(picture.description));
        VELKOR_FUZZ_CHECK(picture.bytes >= 0 && picture.body_offset >= 10);
        VELKOR_FUZZ_CHECK(picture.body_offset <= static_cast<int64_t>(bytes.size));
        const ByteSpan stored = bytes.from(static_cast<std::size_t>(picture.body_offset))
                                    .first(picture.unsynchronised ? 2 * std::size_t{picture.stored_size}
                                                                  : picture.stored_size);
        const std::string data = picture_data(picture, stored);
        VELKOR_FUZZ_CHECK(data.empty() || static_cast<int64_t>(data.size()) == picture.bytes);
    }
    return nullptr;
}

// The input as the start of a file, tag header included. The reader may
// examine every byte; its fields stay terminated, the ID3v1 fields are not
// its business, and a length beyond the bytes or below zero is harmless.
inline Failure check_id3v2(const uint8_t* data, std::size_t size) {
    ExactCopy buffer(data, size);
    const int32_t length = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);

    TagRecord tag;
    tag.set_title("unchanged");
    tag.year = 1234;
    tag.track = 56;
    const int32_t found = tag.LoadTag2(buffer.span(), length);
    VELKOR_FUZZ_CHECK(found == 0 || found == 1);
    if (Failure failure = check_record_texts(tag)) return failure;
    VELKOR_FUZZ_CHECK(equal_text(tag.title, "unchanged"));

    const uint8_t version = buffer.span().at(3);
    if (version < 2 || version > 4) VELKOR_FUZZ_CHECK(found == 0);
    if (!found) {
        for (const TagRecord::Text* field : {&tag.v2_title, &tag.v2_album, &tag.v2_artist,
                                             &tag.v2_comment, &tag.v2_genre, &tag.v2_track,
                                             &tag.v2_year}) {
            VELKOR_FUZZ_CHECK((*field)[0] == '\0');
        }
        VELKOR_FUZZ_CHECK(tag.year == 1234 && tag.track == 56);
    }
    // A stored track or year text and its number agree.
    if (tag.v2_track[0] != '\0') {
        VELKOR_FUZZ_CHECK(tag.track == decimal_value(tag.v2_track, TagRecord::kTextSize - 1));
    }
    if (tag.v2_year[0] != '\0') {
        VELKOR_FUZZ_CHECK(tag.year == decimal_value(tag.v2_year, TagRecord::kTextSize - 1));
    }

    // A length larger than the bytes reads no further than they go, and
    // reads the same; a negative one reads nothing.
    TagRecord longer;
    VELKOR_FUZZ_CHECK(longer.LoadTag2(buffer.span(), INT32_MAX) == found);
    VELKOR_FUZZ_CHECK(same_v2_texts(longer, tag));
    TagRecord negative;
    VELKOR_FUZZ_CHECK(negative.LoadTag2(buffer.span(), -1) == 0);
    VELKOR_FUZZ_CHECK(negative.v2_title[0] == '\0' && negative.v2_year[0] == '\0');
    return check_id3v2_tag(buffer.span());
}

}  // namespace velkor::fuzzing
