// Readable block, raw report and record fields.
#include "text_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "../src/base/duration_text.h"
#include "../src/base/utf8.h"
#include "text_encoding.h"
#include "velkor.h"

namespace velkor::cli {

namespace {

// The record's label column is as wide as its longest label, "frequency:".
constexpr std::size_t kLabelWidth = 10;
// The block's values start in one column, behind its longest label,
// "    album artist:".
constexpr std::size_t kBlockColumn = 17;

void line(std::string& out, const char* indent, const char* label, const std::string& utf8_value) {
    std::string labelled = std::string(indent) + label + ":";
    if (!utf8_value.empty()) {
        labelled.resize(std::max(labelled.size(), std::strlen(indent) + kLabelWidth), ' ');
        labelled += ' ' + utf8_value;
    }
    out += labelled + '\n';
}

// "<indent><name>:" padded to the block's value column, and the space
// before the value.
void label(TextBuffer& out, std::string_view indent, std::string_view name) {
    out += indent;
    out += name;
    out += ':';
    for (std::size_t n = indent.size() + name.size() + 1; n < kBlockColumn; ++n) out += ' ';
    out += ' ';
}

// A line of the block with a text; the label alone when it is empty.
void text_line(TextBuffer& out, std::string_view indent, std::string_view name, std::string_view utf8) {
    if (utf8.empty()) {
        out += indent;
        out += name;
        out += ":\n";
        return;
    }
    label(out, indent, name);
    append_printable(out, utf8);
    out += '\n';
}

// An ID3v2 text only few files have: no line when the file has none.
void optional_line(TextBuffer& out, std::string_view name, std::string_view utf8) {
    if (!utf8.empty()) text_line(out, "    ", name, utf8);
}

// ".t": the tenths of a second of a length in milliseconds, cut as the
// seconds are.
void append_tenths(TextBuffer& out, int64_t ms) {
    out += '.';
    out += static_cast<char>('0' + (ms < 0 ? 0 : ms % 1000 / 100));
}

std::string tag_text(std::string_view latin1) { return printable(velkor::latin1_to_utf8(latin1)); }

// A fixed record field: its text up to the zero byte, never past the field.
template <std::size_t N>
std::string field(const char (&value)[N]) {
    return tag_text(std::string_view(value, strnlen(value, N)));
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

void append_block(TextBuffer& out, std::string_view path, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    append_printable(out, path);
    out += '\n';
    text_line(out, "  ", "version", file.text(VELKOR_STREAM_VERSION));
    // Only where the stream lies inside another format's file.
    if (!file.text(VELKOR_STREAM_FORMAT).empty()) text_line(out, "  ", "container", file.text(VELKOR_STREAM_FORMAT));

    label(out, "  ", "bitrate");
    out.append_number(f.bitrate_kbps);
    out += " kbps";
    if (vbr_average(f)) {
        out += " (VBR, average)\n";
    } else if (f.vbr_header == VELKOR_VBR_XING || f.vbr_header == VELKOR_VBR_VBRI) {
        out += " (first frame; the VBR header has no frame count)\n";
    } else if (f.frames_exact && f.vbr_header == VELKOR_VBR_NONE) {
        out += " (average, frames counted)\n";
    } else if (f.bitrate_varies) {
        out += " (VBR, estimated from sampled frames)\n";
    } else {
        out += " (CBR)\n";
    }

    label(out, "  ", "sampling");
    out.append_number(f.sampling_rate_hz);
    out += " Hz\n";
    text_line(out, "  ", "mode", file.text(VELKOR_STREAM_MODE));

    label(out, "  ", "length");
    const int64_t seconds = f.duration_ms / 1000;
    char* at = out.room(kDurationTextSize);
    out.grow_to(duration_text(seconds, at));
    append_tenths(out, f.duration_ms);
    out += " (";
    out.append_number(seconds);
    append_tenths(out, f.duration_ms);
    out += " s";
    if (f.gapless_duration_ms >= 0) {
        out += ", gapless ";
        out.append_number(f.gapless_duration_ms / 1000);
        append_tenths(out, f.gapless_duration_ms);
        out += " s";
    }
    out += ")\n";

    label(out, "  ", "size");
    out.append_number(f.file_size / 1024);
    out += " kB (";
    out.append_number(f.file_size);
    out += " bytes)\n";
    label(out, "  ", "frames");
    out.append_number(f.frames);
    out += '\n';

    const std::string_view encoder = file.text(VELKOR_STREAM_ENCODER);
    if (!encoder.empty() || f.encoder_delay >= 0) {
        label(out, "  ", "encoder");
        append_printable(out, encoder.empty() ? std::string_view("unknown") : encoder);
        if (f.encoder_delay >= 0) {
            out += " (delay ";
            out.append_number(f.encoder_delay);
            out += ", padding ";
            out.append_number(f.encoder_padding);
            out += " samples)";
        }
        out += '\n';
    }

    if (f.id3v1 == 0) {
        text_line(out, "  ", "ID3v1", "none");
    } else {
        out += f.id3v1 == 11 ? "  ID3v1.1\n" : "  ID3v1.0\n";
        text_line(out, "    ", "title", file.text(VELKOR_ID3V1_TITLE));
        text_line(out, "    ", "artist", file.text(VELKOR_ID3V1_ARTIST));
        text_line(out, "    ", "album", file.text(VELKOR_ID3V1_ALBUM));
        text_line(out, "    ", "year", file.text(VELKOR_ID3V1_YEAR));
        text_line(out, "    ", "comment", file.text(VELKOR_ID3V1_COMMENT));
        if (f.id3v1 == 11) {
            label(out, "    ", "track");
            out.append_number(f.id3v1_track);
            out += '\n';
        }
        label(out, "    ", "genre");
        append_printable(out, file.text(VELKOR_ID3V1_GENRE));
        out += " (";
        out.append_number(f.id3v1_genre);
        out += ")\n";
    }

    if (f.id3v2_version == 0) {
        text_line(out, "  ", "ID3v2", "none");
        return;
    }
    out += "  ID3v2.";
    out.append_number(f.id3v2_version);
    out += '\n';
    // The texts most files have are always listed, so that a missing one
    // shows; the rarer ones only when they are there.
    text_line(out, "    ", "title", file.text(VELKOR_ID3V2_TITLE));
    text_line(out, "    ", "artist", file.text(VELKOR_ID3V2_ARTIST));
    text_line(out, "    ", "album", file.text(VELKOR_ID3V2_ALBUM));
    optional_line(out, "album artist", file.text(VELKOR_ID3V2_ALBUM_ARTIST));
    text_line(out, "    ", "year", file.text(VELKOR_ID3V2_YEAR));
    text_line(out, "    ", "comment", file.text(VELKOR_ID3V2_COMMENT));
    text_line(out, "    ", "track", file.text(VELKOR_ID3V2_TRACK));
    optional_line(out, "disc", file.text(VELKOR_ID3V2_DISC));
    text_line(out, "    ", "genre", file.text(VELKOR_ID3V2_GENRE));
    optional_line(out, "composer", file.text(VELKOR_ID3V2_COMPOSER));
    if (f.picture_count > 0) {
        label(out, "    ", "pictures");
        out.append_number(f.picture_count);
        for (int32_t i = 0; i < f.picture_count; ++i) {
            const velkor_picture_info picture = file.picture(i);
            out += i == 0 ? " (" : "; ";
            out += picture_type_name(picture.type);
            const std::string_view mime = file.picture_text(i, VELKOR_PICTURE_MIME);
            if (!mime.empty()) {
                out += ", ";
                append_printable(out, mime);
            }
            out += ", ";
            out.append_number(picture.bytes);
            out += " bytes";
        }
        out += ")\n";
    }
}

ExportOutput report_output(const std::string& path, bool with_path) {
    char report[VELKOR_REPORT_SIZE] = {};
    ExportOutput output;
    output.ok = VkOpenMp3File(path.c_str(), report, 0) == 1;
    report[sizeof report - 1] = '\0';
    if (output.ok) output.length_seconds = seconds_of(report_item(report, 4));
    if (with_path) output.text = printable(path) + ": ";
    output.text += tag_text(report) + '\n';
    return output;
}

ExportOutput record_output(const std::string& path) {
    velkor_info_record record;
    std::memset(&record, 0, sizeof record);
    VkGetSonvexStruct(path.c_str(), &record);
    ExportOutput output;
    output.ok = std::strcmp(record.status, "Success") == 0;
    output.length_seconds = std::atoll(field(record.length).c_str());

    std::string& out = output.text;
    out = printable(path) + '\n';
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

namespace {

int32_t VELKOR_CALL quiet(const char*, const char*, uint32_t style, void*) {
    return (style & 0xFu) == VELKOR_NOTICE_BUTTONS_YESNO ? VELKOR_ANSWER_NO : VELKOR_ANSWER_OK;
}

}  // namespace

void silence_export_notices() { velkor_set_notice_handler(&quiet, nullptr); }

}  // namespace velkor::cli
