// Readable block, raw report and record fields.
#include "text_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "cli_notices.h"
#include "text_encoding.h"
#include "velkor.h"

namespace velkor::cli {

namespace {

// The label column is as wide as the longest label, "frequency:".
constexpr std::size_t kLabelWidth = 10;

void line(std::string& out, const char* indent, const char* label, const std::string& utf8_value) {
    std::string labelled = std::string(indent) + label + ":";
    if (!utf8_value.empty()) {
        labelled.resize(std::max(labelled.size(), std::strlen(indent) + kLabelWidth), ' ');
        labelled += ' ' + utf8_value;
    }
    out += labelled + '\n';
}

std::string tag_text(std::string_view latin1) { return printable(latin1_to_utf8(latin1)); }

std::string path_text(std::string_view path) { return printable(bytes_to_utf8(path)); }

// A fixed record field: its text up to the zero byte, never past the field.
template <std::size_t N>
std::string field(const char (&value)[N]) {
    return tag_text(text(value));
}

// Seconds of a "mm:ss" or "hh:mm:ss" length text.
int64_t seconds_of(std::string_view text) {
    int64_t seconds = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(':', start);
        if (end == std::string_view::npos) end = text.size();
        seconds = seconds * 60 + std::atoll(std::string(text.substr(start, end - start)).c_str());
        start = end + 1;
    }
    return seconds;
}

// The report's item at index (0 is the status prefix).
std::string_view report_item(std::string_view report, int index) {
    static constexpr std::string_view kSep = "<sep>";
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const std::size_t at = report.find(kSep, start);
        if (at == std::string_view::npos) return {};
        start = at + kSep.size();
    }
    return report.substr(start, report.find(kSep, start) - start);
}

}  // namespace

std::string block_text(const FileFacts& f) {
    std::string out = path_text(f.path) + '\n';
    line(out, "  ", "version", std::string(text(f.version)));
    line(out, "  ", "bitrate",
         std::to_string(f.bitrate_kbps) + " kbps" + (f.vbr ? " (VBR, average)" : " (CBR)"));
    line(out, "  ", "sampling", std::to_string(f.sampling_rate_hz) + " Hz");
    line(out, "  ", "mode", std::string(text(f.mode)));
    line(out, "  ", "length", std::string(text(f.length)) + " (" + std::to_string(f.length_seconds) + " s)");
    line(out, "  ", "size",
         std::to_string(f.file_size / 1024) + " kB (" + std::to_string(f.file_size) + " bytes)");
    line(out, "  ", "frames", std::to_string(f.frames));

    const Id3v1Facts& v1 = f.id3v1;
    if (!v1.present) {
        line(out, "  ", "ID3v1", "none");
    } else {
        out += v1.v11 ? "  ID3v1.1\n" : "  ID3v1.0\n";
        line(out, "    ", "title", tag_text(text(v1.title)));
        line(out, "    ", "artist", tag_text(text(v1.artist)));
        line(out, "    ", "album", tag_text(text(v1.album)));
        line(out, "    ", "year", std::to_string(v1.year));
        line(out, "    ", "comment", tag_text(text(v1.comment)));
        if (v1.v11) line(out, "    ", "track", std::to_string(v1.track));
        line(out, "    ", "genre", std::string(text(v1.genre_name)) + " (" + std::to_string(v1.genre) + ")");
    }

    const Id3v2Facts& v2 = f.id3v2;
    if (!v2.present) {
        line(out, "  ", "ID3v2", "none");
    } else {
        out += "  ID3v2\n";
        line(out, "    ", "title", tag_text(text(v2.title)));
        line(out, "    ", "artist", tag_text(text(v2.artist)));
        line(out, "    ", "album", tag_text(text(v2.album)));
        line(out, "    ", "year", tag_text(text(v2.year)));
        line(out, "    ", "comment", tag_text(text(v2.comment)));
        line(out, "    ", "track", tag_text(text(v2.track)));
        line(out, "    ", "genre", tag_text(text(v2.genre)));
    }
    return out;
}

ExportOutput report_output(const std::string& path, bool with_path) {
    char report[VK_REPORT_SIZE] = {};
    const int before = notices_shown();
    ExportOutput output;
    output.ok = VkOpenMp3File(path.c_str(), report, 0) == 1;
    report[sizeof report - 1] = '\0';
    output.notice_shown = notices_shown() != before;
    if (output.ok) output.length_seconds = seconds_of(report_item(report, 4));
    if (with_path) output.text = path_text(path) + ": ";
    output.text += tag_text(report) + '\n';
    return output;
}

ExportOutput record_output(const std::string& path) {
    InfoRecord record;
    std::memset(&record, 0, sizeof record);
    const int before = notices_shown();
    VkGetSonvexStruct(path.c_str(), &record);
    ExportOutput output;
    output.ok = std::strcmp(record.status, "Success") == 0;
    output.notice_shown = notices_shown() != before;
    output.length_seconds = std::atoll(field(record.length).c_str());

    std::string& out = output.text;
    out = path_text(path) + '\n';
    line(out, "  ", "status", field(record.status));
    line(out, "  ", "track", field(record.track));
    line(out, "  ", "year", field(record.year));
    line(out, "  ", "bitrate", field(record.bitrate));
    line(out, "  ", "size", field(record.size));
    line(out, "  ", "frequency", field(record.frequency));
    line(out, "  ", "length", field(record.length));
    line(out, "  ", "frames", field(record.frames));
    line(out, "  ", "album", field(record.album));
    line(out, "  ", "artist", field(record.artist));
    line(out, "  ", "comment", field(record.comment));
    line(out, "  ", "genre", field(record.genre));
    line(out, "  ", "mode", field(record.mode));
    line(out, "  ", "version", field(record.version));
    line(out, "  ", "title", field(record.title));
    return output;
}

}  // namespace velkor::cli
