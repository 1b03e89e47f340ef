// VkOpenMp3File: the analysis of one file as a line of "<sep>"-closed items.
#include <cstring>

#include "base/decimal_text.h"
#include "base/sentinels.h"
#include "legacy/record_figures.h"
#include "legacy/text_report.h"

namespace velkor {

namespace {

constexpr char kSeparator[] = "<sep>";
constexpr char kFailureText[] = "Unable to open file";

// Appends text and keeps the zero byte behind it; never writes past the
// report's room, which is already the longest report there can be.
void append(char (&report)[VELKOR_REPORT_SIZE], std::size_t& used, const char* text) {
    while (*text != '\0' && used + 1 < VELKOR_REPORT_SIZE) report[used++] = *text++;
    report[used] = '\0';
}

class Report {
public:
    explicit Report(char (&out)[VELKOR_REPORT_SIZE]) : out_(out) { out_[0] = '\0'; }
    void item(const char* text) {
        append(out_, used_, text);
        append(out_, used_, kSeparator);
    }
    // A number and its unit.
    void number_item(int64_t number, const char* unit = "") {
        char text[kDecimalTextSize];
        decimal_text(number, text);
        append(out_, used_, text);
        item(unit);
    }
    void prefix(const char* text) { append(out_, used_, text); }

private:
    char (&out_)[VELKOR_REPORT_SIZE];
    std::size_t used_ = 0;
};

}  // namespace

void build_text_report(const Mp3FileInfo& info, char (&out)[VELKOR_REPORT_SIZE]) {
    Report report(out);
    report.prefix("SUCCESS: ");
    report.item("File opened successfully");

    char version[FrameHeader::kVersionTextSize];
    info.version_text(version);
    report.item(version);
    report.number_item(legacy::bitrate_kbps(info), " kbps");
    report.number_item(info.frequency_hz(), " Hz");
    char length[legacy::kLengthTextSize];
    legacy::length_text(info, length);
    report.item(length);
    report.number_item(info.file_size() / 1024, " kB");
    char mode[FrameHeader::kModeNameSize];
    info.mode_text(mode);
    report.item(mode);

    // Only the ID3v1 tag feeds these items, even when an ID3v2 tag was read.
    const bool v1 = info.has_id3v1 != 0;
    Mp3FileInfo::Text text;
    auto tag_item = [&](void (Mp3FileInfo::*query)(Mp3FileInfo::Text&) const) {
        if (!v1) return report.item(kNotAvailable);
        (info.*query)(text);
        report.item(text);
    };
    tag_item(&Mp3FileInfo::tag_title);
    tag_item(&Mp3FileInfo::tag_artist);
    tag_item(&Mp3FileInfo::tag_album);
    char genre[TagRecord::kGenreNameSize];
    if (v1) info.tag_genre_name(genre);
    report.item(v1 ? genre : kNotAvailable);
    tag_item(&Mp3FileInfo::tag_comment);

    report.number_item(legacy::frame_count(info));
    if (v1) {
        report.number_item(info.tag_year());
    } else {
        report.item(kNotAvailable);
    }
    // The track also comes from an ID3v2 tag when there is no ID3v1 tag.
    const int32_t track = info.tag_track();
    if (track != kNoTrack) {
        report.number_item(track);
    } else {
        report.item(kNotAvailable);
    }
}

}  // namespace velkor

extern "C" VELKOR_API int32_t VELKOR_CALL VkOpenMp3File(const char* path, char* report, int32_t) {
    using namespace velkor;
    if (report == nullptr) return 0;
    try {
        Mp3FileInfo info;
        if (info.load(path) == kStatusOk) {
            char built[VELKOR_REPORT_SIZE];
            build_text_report(info, built);
            std::strcpy(report, built);
            return 1;
        }
    } catch (...) {
        // No exception crosses into the caller: out of memory is a failure.
    }
    std::strcpy(report, kFailureText);
    return 0;
}
