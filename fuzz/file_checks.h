// The whole analysis of a file, for the fuzz_file target and the regression
// test: the input is analysed in memory, and what both analysis exports
// make of it is checked. Their results are compared with a plain, candidate by
// candidate walk over the same bytes, so the loader's block-wise reads must
// find exactly the frame that walk finds. The input is analysed twice: as
// it stands, and split in two with a run of zeros between the halves, which
// takes the frame scan past the loader's first read and its working buffer.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "fuzz_checks.h"
#include "layout/file_layout.h"
#include "legacy/record_figures.h"
#include "legacy/text_report.h"
#include "stream/format_signature.h"
#include "stream/mp3_file_info.h"
#include "velkor.h"
#include "velkor_analysis.h"

namespace velkor::fuzzing {

// What a plain walk over the file's bytes finds, step by step as the loader
// is meant to: the scan starts behind an ID3v2 tag (and the tags repeated
// right behind it), a "RealJukebox" window seen before candidate 209 passes
// over the candidates up to 1999, and a
// valid header counts only when the next two frames' headers are valid and
// of its version, layer and sampling rate (or the audio ends before them).
// A first header inside the ID3v1 tag means no frame.
struct PlainWalk {
    int64_t frame = -1;  // offset of the first valid header
    bool id3v2_header = false;
    int64_t id3v2_size = 0;
    int32_t is_vbr = 0;
    int32_t xing_frames = -1;
    bool id3v1 = false;         // the layout's: the outermost trailing tag
    int64_t audio_end = 0;      // the layout's: in front of the trailing tags
    bool other_format = false;  // refused by another format's signature
};

inline PlainWalk plain_walk(ByteSpan file) {
    PlainWalk walk;
    const int64_t size = static_cast<int64_t>(file.size);
    int64_t start = 0;
    walk.id3v2_header = file.at(0) == 'I' && file.at(1) == 'D' && file.at(2) == '3' &&
                        file.at(3) < 0xFF && file.at(4) < 0xFF && file.at(6) < 0x80 &&
                        file.at(7) < 0x80 && file.at(8) < 0x80 && file.at(9) < 0x80;
    if (walk.id3v2_header) {
        walk.id3v2_size = int64_t{file.at(6)} << 21 | int64_t{file.at(7)} << 14 |
                          int64_t{file.at(8)} << 7 | int64_t{file.at(9)};
        const int64_t behind = 10 + walk.id3v2_size + ((file.at(5) & 0x10) ? 10 : 0);
        if (behind < size - 4) start = behind;
    }
    // Up to eight tags repeated right behind, each ending before the last
    // four bytes and within 16 MiB of the first tag's end, are passed over.
    const int64_t first_end = start;
    for (int i = 0; i < 8 && start > 0; ++i) {
        auto at = [&](int64_t k) { return file.at(static_cast<std::size_t>(start + k)); };
        if (!(at(0) == 'I' && at(1) == 'D' && at(2) == '3' && at(3) < 0xFF && at(4) < 0xFF && at(6) < 0x80 &&
              at(7) < 0x80 && at(8) < 0x80 && at(9) < 0x80)) {
            break;
        }
        const int64_t end = start + 10 + (int64_t{at(6)} << 21 | int64_t{at(7)} << 14 | int64_t{at(8)} << 7 | at(9)) +
                            ((at(5) & 0x10) ? 10 : 0);
        if (end >= size - 4 || end - first_end > (int64_t{16} << 20)) break;
        start = end;
    }
    bool skip = false;
    // Where the tags lie and where the audio ends is the file's one layout,
    // for this walk as for every other reader.
    SpanSource source(file);
    const FileLayout layout = describe_file(source, size);
    const int64_t audio_end = layout.audio_end;
    walk.audio_end = audio_end;
    walk.id3v1 = layout.id3v1_begin >= 0;
    if (layout.format.format == FileFormat::kRiffMpeg) {
        start = layout.format.data_offset;
    } else if (layout.other_format()) {
        walk.other_format = true;
        return walk;
    }
    auto header_at = [&](int64_t at) {
        FrameHeader header;
        header.set_bytes(file.at(at), file.at(at + 1), file.at(at + 2), file.at(at + 3));
        return header;
    };
    auto frame_length = [](const FrameHeader& h) -> int64_t {
        const int64_t bps = int64_t{h.table_bitrate_kbps()} * 1000, rate = h.sampling_rate_hz();
        const int64_t padding = (h.word >> 9) & 1;
        if (h.layer_number() == 1) return (12 * bps / rate + padding) * 4;
        return (h.layer_number() == 3 && h.version_bits() != 3 ? 72 : 144) * bps / rate + padding;
    };
    auto confirmed = [&](int64_t c) {
        const FrameHeader first = header_at(c);
        int64_t next = c + frame_length(first);
        // Every frame of the chain ends before the audio does.
        if (next > audio_end) return false;
        for (int i = 0; i < 2 && audio_end - next >= 4; ++i) {
            const FrameHeader h = header_at(next);
            if (h.is_valid() && next + frame_length(h) > audio_end) return false;
            if (!h.is_valid() || h.version_bits() != first.version_bits() ||
                h.layer_bits() != first.layer_bits() || h.sampling_index() != first.sampling_index()) {
                return false;
            }
            next += frame_length(h);
        }
        return true;
    };
    for (int64_t c = start; c < size - 4; ++c) {
        if (c + 1 < 210) {
            // The window: up to 32 bytes from c + 1, ending at a zero byte.
            char window[33] = {};
            for (std::size_t i = 0; i < 32 && file.at(c + 1 + i) != 0; ++i) {
                window[i] = static_cast<char>(file.at(c + 1 + i));
            }
            skip = skip || std::strstr(window, "RealJukebox") != nullptr;
        }
        if ((skip && c <= 1999) || file.data[c] != 0xFF) continue;
        FrameHeader header;
        header.set_bytes(file.data + c);
        if (header.is_valid() && confirmed(c)) {
            walk.frame = c;
            break;
        }
    }
    // A header inside the ID3v1 tag is the tag's bytes, not audio.
    if (walk.frame >= 0 && walk.frame + 4 > audio_end) walk.frame = -1;
    if (walk.frame < 0) return walk;

    FrameHeader header;
    header.set_bytes(file.data + walk.frame);
    const bool single = header.mode_bits() == 3;
    const int64_t side = header.version_bits() == 3 ? (single ? 17 : 32) : (single ? 9 : 17);
    uint8_t xing[VbrHeader::kSize];
    for (std::size_t i = 0; i < sizeof xing; ++i) xing[i] = file.at(walk.frame + 4 + side + i);
    VbrHeader vbr;
    walk.is_vbr = vbr.parse(ByteSpan(xing, sizeof xing));
    const int64_t vbri = walk.frame + 36;
    if (!walk.is_vbr && file.at(vbri) == 'V' && file.at(vbri + 1) == 'B' && file.at(vbri + 2) == 'R' &&
        file.at(vbri + 3) == 'I') {
        walk.is_vbr = 1;
        const int64_t count = walk.frame + 36 + 14;
        const uint32_t stored = uint32_t{file.at(count)} << 24 | uint32_t{file.at(count + 1)} << 16 |
                                uint32_t{file.at(count + 2)} << 8 | file.at(count + 3);
        walk.xing_frames = stored <= 0x7FFFFFFFu ? static_cast<int32_t>(stored) : -1;
    } else {
        walk.xing_frames = vbr.frames();
    }
    return walk;
}

template <std::size_t N>
bool field_is(const char (&field)[N], const char* text) {
    return terminated(field) && equal_text(field, text);
}

template <typename... Fields>
bool all_terminated(const Fields&... fields) {
    return (terminated(fields) && ...);
}

inline std::string number_text(int64_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRId64, n);
    return text;
}

inline Failure check_analysis(ByteSpan bytes) {
    const PlainWalk walk = plain_walk(bytes);

    Mp3FileInfo info;
    SpanSource source(bytes);
    const int32_t status = info.analyse(source, static_cast<int64_t>(bytes.size), "input", LoadOptions());
    VELKOR_FUZZ_CHECK(status == (walk.frame >= 0 ? kStatusOk : kStatusNoFrame));
    VELKOR_FUZZ_CHECK(info.file_size() == static_cast<int64_t>(bytes.size));
    VELKOR_FUZZ_CHECK(info.path == "input");
    if (Failure failure = check_record_texts(info.tag)) return failure;
    if (!walk.id3v2_header) VELKOR_FUZZ_CHECK(info.has_id3v2 == 0);

    char length[velkor::legacy::kLengthTextSize];
    if (status == kStatusOk) {
        VELKOR_FUZZ_CHECK(info.first_frame_offset == walk.frame);
        VELKOR_FUZZ_CHECK(info.header.is_valid() == 1);
        VELKOR_FUZZ_CHECK(info.is_vbr == walk.is_vbr && (!info.is_vbr || info.vbr.frames() == walk.xing_frames));
        VELKOR_FUZZ_CHECK(info.has_id3v1 == (walk.id3v1 ? 1 : 0));
        // The figures never divide by zero or go negative.
        VELKOR_FUZZ_CHECK(info.frequency_hz() > 0);
        VELKOR_FUZZ_CHECK(velkor::legacy::bitrate_kbps(info) >= 0 && velkor::legacy::frame_count(info) >= 0);
        VELKOR_FUZZ_CHECK(velkor::legacy::length_seconds(info) >= 0);
        if (info.is_vbr == 0) VELKOR_FUZZ_CHECK(velkor::legacy::bitrate_kbps(info) == info.header.table_bitrate_kbps());
        std::memset(length, 'x', sizeof length);
        velkor::legacy::length_text(info, length);
        VELKOR_FUZZ_CHECK(terminated(length) && std::strlen(length) >= 5);
    } else {
        const int64_t size = static_cast<int64_t>(bytes.size);
        // The search ends at the last 4 bytes; a file of another format is
        // not searched at all.
        VELKOR_FUZZ_CHECK(info.first_frame_offset == -1);
        VELKOR_FUZZ_CHECK(velkor::legacy::header_pos(info) == (walk.other_format ? 0 : size >= 5 ? size - 4 : 0));
    }

    // The exports make nothing more of a file without a frame.
    if (status != kStatusOk) return nullptr;

    // The text report, into a buffer of exactly the documented room.
    struct Report {
        char text[VELKOR_REPORT_SIZE];
    };
    std::unique_ptr<Report> report(new Report);
    std::memset(report->text, 'x', VELKOR_REPORT_SIZE);
    build_text_report(info, report->text);
    VELKOR_FUZZ_CHECK(std::memchr(report->text, 0, VELKOR_REPORT_SIZE) != nullptr);
    const std::string text = report->text;
    VELKOR_FUZZ_CHECK(text.rfind("SUCCESS: File opened successfully<sep>", 0) == 0);
    VELKOR_FUZZ_CHECK(text.size() >= 5 && text.compare(text.size() - 5, 5, "<sep>") == 0);
    std::size_t markers = 0;
    for (std::size_t at = text.find("<sep>"); at != std::string::npos; at = text.find("<sep>", at + 1)) {
        ++markers;
    }
    // Tag texts may hold the marker themselves; without one there are
    // exactly fifteen.
    bool texts_have_marker = false;
    for (const char* field : {info.tag.title, info.tag.artist, info.tag.album, info.tag.comment}) {
        texts_have_marker = texts_have_marker || std::strstr(field, "<sep>") != nullptr;
    }
    VELKOR_FUZZ_CHECK(texts_have_marker ? markers > 15 : markers == 15);
    VELKOR_FUZZ_CHECK(text.find(std::string("<sep>") + length + "<sep>") != std::string::npos);

    // The record: every field written stays inside its width.
    std::unique_ptr<velkor_info_record> record(new velkor_info_record);
    std::memset(record.get(), 'x', sizeof(velkor_info_record));
    fill_record(info, *record);
    velkor_info_record& r = *record;
    VELKOR_FUZZ_CHECK(field_is(r.status, "Success"));
    VELKOR_FUZZ_CHECK(all_terminated(r.track, r.year, r.bitrate, r.size, r.frequency, r.length,
                                     r.frames, r.album, r.artist, r.comment, r.genre, r.mode,
                                     r.version, r.title));
    VELKOR_FUZZ_CHECK(field_is(r.bitrate, number_text(velkor::legacy::bitrate_kbps(info)).c_str()));
    VELKOR_FUZZ_CHECK(field_is(r.frequency, number_text(info.frequency_hz()).c_str()));
    VELKOR_FUZZ_CHECK(field_is(r.length, number_text(velkor::legacy::length_seconds(info)).c_str()));
    VELKOR_FUZZ_CHECK(field_is(r.frames, number_text(velkor::legacy::frame_count(info)).c_str()));
    VELKOR_FUZZ_CHECK(field_is(r.size, number_text(info.file_size() / 1024).c_str()));
    for (const char* c = r.comment; *c != '\0'; ++c) VELKOR_FUZZ_CHECK(*c >= 32 && *c <= 126);
    return nullptr;
}

// The input as a file, then split in two around 100,000 zero bytes.
inline Failure check_file(const uint8_t* data, std::size_t size) {
    if (Failure failure = check_analysis(ByteSpan(data, size))) return failure;
    constexpr std::size_t kGap = 100'000;
    std::vector<uint8_t> spread(size + kGap, 0);
    const std::size_t half = size / 2;
    if (size > 0) {
        std::memcpy(spread.data(), data, half);
        std::memcpy(spread.data() + half + kGap, data + half, size - half);
    }
    return check_analysis(ByteSpan(spread.data(), spread.size()));
}

}  // namespace velkor::fuzzing
