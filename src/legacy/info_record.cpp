// VkGetSonvexStruct: the analysis of one file as a record of fixed-width
// text fields, each written by the bounded copy.
#include <cstdio>

#include "base/decimal_text.h"
#include "legacy/record_figures.h"
#include "legacy/text_report.h"
#include "platform/bounded_copy.h"
#include "stream/mp3_file_info.h"
#include "velkor_analysis.h"

namespace velkor {

namespace {

template <std::size_t N>
void put_number(char (&field)[N], int64_t number) {
    char text[kDecimalTextSize];
    decimal_text(number, text);
    bounded_copy(field, text);
}

// Every byte outside the printable ASCII range becomes a space, so that a
// caller can show the text as it is; the length does not change.
void sanitize_text(char* text) {
    for (; *text != '\0'; ++text) {
        const auto byte = static_cast<unsigned char>(*text);
        if (byte < 32 || byte > 126) *text = ' ';
    }
}

}  // namespace

void fill_record(const Mp3FileInfo& info, velkor_info_record& record) {
    char version[FrameHeader::kVersionTextSize];
    info.version_text(version);
    bounded_copy(record.version, version);
    put_number(record.bitrate, legacy::bitrate_kbps(info));
    put_number(record.frequency, info.frequency_hz());
    put_number(record.length, legacy::length_seconds(info));
    put_number(record.size, info.file_size() / 1024);
    char mode[FrameHeader::kModeNameSize];
    info.mode_text(mode);
    bounded_copy(record.mode, mode);

    // The ID3v1 texts, else the ID3v2 texts, else nothing.
    const bool v1 = info.has_id3v1 != 0;
    const bool v2 = !v1 && info.has_id3v2 != 0;
    using Query = void (Mp3FileInfo::*)(Mp3FileInfo::Text&) const;
    Mp3FileInfo::Text text;
    auto tag_text = [&](Query v1_query, Query v2_query) -> char* {
        text[0] = '\0';
        if (v1) (info.*v1_query)(text);
        if (v2) (info.*v2_query)(text);
        return text;
    };
    bounded_copy(record.title, tag_text(&Mp3FileInfo::tag_title, &Mp3FileInfo::tag_v2_title));
    bounded_copy(record.artist,
                           tag_text(&Mp3FileInfo::tag_artist, &Mp3FileInfo::tag_v2_artist));
    bounded_copy(record.album, tag_text(&Mp3FileInfo::tag_album, &Mp3FileInfo::tag_v2_album));
    put_number(record.genre, v2 ? info.tag_v2_genre_index() : info.tag_genre_index());
    sanitize_text(tag_text(&Mp3FileInfo::tag_comment, &Mp3FileInfo::tag_v2_comment));
    bounded_copy(record.comment, text);
    put_number(record.frames, legacy::frame_count(info));

    // The year only from an ID3v1 tag; the track from whichever tag set it.
    if (v1) {
        put_number(record.year, info.tag_year());
    } else {
        bounded_copy(record.year, "");
    }
    const int32_t track = info.tag_track();
    if (track >= 0) {
        put_number(record.track, track);
    } else {
        bounded_copy(record.track, "");
    }
    bounded_copy(record.status, "Success");
}

namespace {

void fail_record(velkor_info_record& record, int32_t status) {
    char text[sizeof record.status];
    std::snprintf(text, sizeof text, "Unable to open file (%d)", static_cast<int>(status));
    bounded_copy(record.status, text);
}

}  // namespace

}  // namespace velkor

extern "C" VELKOR_API void VELKOR_CALL VkGetSonvexStruct(const char* path, velkor_info_record* record) {
    using namespace velkor;
    if (record == nullptr) return;
    try {
        Mp3FileInfo info;
        const int32_t status = info.load(path);
        if (status == kStatusOk) {
            fill_record(info, *record);
        } else {
            fail_record(*record, status);
        }
    } catch (...) {
        // No exception crosses into the caller: out of memory is a failure.
        fail_record(*record, kStatusOpenFailed);
    }
}
