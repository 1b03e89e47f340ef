// Readable block, raw report and record fields.
#include "text_output.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli_notices.h"
#include "text_encoding.h"
#include "velkor.h"

namespace velkor::cli {

namespace {

// The label column is as wide as the longest label, "frequency:".
void line(const char* indent, const char* label, const std::string& utf8_value) {
    const std::string labelled = std::string(label) + ":";
    if (utf8_value.empty()) {
        std::printf("%s%s\n", indent, labelled.c_str());
    } else {
        std::printf("%s%-10s %s\n", indent, labelled.c_str(), utf8_value.c_str());
    }
}

std::string tag_text(const std::string& latin1) { return printable(latin1_to_utf8(latin1)); }

std::string path_text(const std::string& path) { return printable(bytes_to_utf8(path)); }

// A fixed record field: its text up to the zero byte, never past the field.
template <std::size_t N>
std::string field(const char (&value)[N]) {
    return tag_text(std::string(value, strnlen(value, N)));
}

}  // namespace

void print_block(const FileFacts& f) {
    std::printf("%s\n", path_text(f.path).c_str());
    line("  ", "version", f.version);
    line("  ", "bitrate",
         std::to_string(f.bitrate_kbps) + " kbps" + (f.vbr ? " (VBR, average)" : " (CBR)"));
    line("  ", "sampling", std::to_string(f.sampling_rate_hz) + " Hz");
    line("  ", "mode", f.mode);
    line("  ", "length", f.length + " (" + std::to_string(f.length_seconds) + " s)");
    line("  ", "size", std::to_string(f.file_size / 1024) + " kB (" + std::to_string(f.file_size) +
                           " bytes)");
    line("  ", "frames", std::to_string(f.frames));

    const Id3v1Facts& v1 = f.id3v1;
    if (!v1.present) {
        line("  ", "ID3v1", "none");
    } else {
        std::printf("  ID3v1%s\n", v1.v11 ? ".1" : ".0");
        line("    ", "title", tag_text(v1.title));
        line("    ", "artist", tag_text(v1.artist));
        line("    ", "album", tag_text(v1.album));
        line("    ", "year", std::to_string(v1.year));
        line("    ", "comment", tag_text(v1.comment));
        if (v1.v11) line("    ", "track", std::to_string(v1.track));
        line("    ", "genre", v1.genre_name + " (" + std::to_string(v1.genre) + ")");
    }

    const Id3v2Facts& v2 = f.id3v2;
    if (!v2.present) {
        line("  ", "ID3v2", "none");
    } else {
        std::printf("  ID3v2\n");
        line("    ", "title", tag_text(v2.title));
        line("    ", "artist", tag_text(v2.artist));
        line("    ", "album", tag_text(v2.album));
        line("    ", "year", tag_text(v2.year));
        line("    ", "comment", tag_text(v2.comment));
        line("    ", "track", tag_text(v2.track));
        line("    ", "genre", tag_text(v2.genre));
    }
}

ExportOutcome print_report(const std::string& path, bool with_path) {
    char report[VK_REPORT_SIZE] = {};
    const int before = notices_shown();
    const int32_t written = VkOpenMp3File(path.c_str(), report, 0);
    report[sizeof report - 1] = '\0';
    if (with_path) std::printf("%s: ", path_text(path).c_str());
    std::printf("%s\n", tag_text(report).c_str());
    return {written == 1, notices_shown() != before};
}

ExportOutcome print_record(const std::string& path) {
    InfoRecord record;
    std::memset(&record, 0, sizeof record);
    const int before = notices_shown();
    VkGetSonvexStruct(path.c_str(), &record);
    std::printf("%s\n", path_text(path).c_str());
    line("  ", "status", field(record.status));
    line("  ", "track", field(record.track));
    line("  ", "year", field(record.year));
    line("  ", "bitrate", field(record.bitrate));
    line("  ", "size", field(record.size));
    line("  ", "frequency", field(record.frequency));
    line("  ", "length", field(record.length));
    line("  ", "frames", field(record.frames));
    line("  ", "album", field(record.album));
    line("  ", "artist", field(record.artist));
    line("  ", "comment", field(record.comment));
    line("  ", "genre", field(record.genre));
    line("  ", "mode", field(record.mode));
    line("  ", "version", field(record.version));
    line("  ", "title", field(record.title));
    return {std::strcmp(record.status, "Success") == 0, notices_shown() != before};
}

}  // namespace velkor::cli
