// Readable block, raw report and record fields.
#include "text_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "text_encoding.h"
#include "velkor.h"
#include "velkor_analysis.h"

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

// A line of the block only when the text is there.
void optional_line(TextBuffer& out, std::string_view indent, std::string_view name, std::string_view utf8) {
    if (!utf8.empty()) text_line(out, indent, name, utf8);
}

// "mm:ss.t" or "hh:mm:ss.t": the time rounded to the nearest tenth of a
// second, never cut.
void append_time(TextBuffer& out, int64_t ms) {
    const int64_t tenths = (std::max<int64_t>(ms, 0) + 50) / 100;
    char* at = out.room(VELKOR_DURATION_TEXT_SIZE);
    out.grow_to(at + velkor_duration_text(tenths / 10, at, VELKOR_DURATION_TEXT_SIZE) - 1);
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
}

// "7.1 s": seconds to the nearest tenth.
void append_seconds(TextBuffer& out, int64_t ms) {
    const int64_t tenths = (std::max<int64_t>(ms, 0) + 50) / 100;
    out.append_number(tenths / 10);
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
    out += " s";
}

}  // namespace

void append_size(TextBuffer& out, int64_t bytes) {
    if (bytes >= 1000) {
        const bool mega = bytes >= 999950;
        const int64_t unit = mega ? 1000000 : 1000;
        const int64_t tenths = (bytes * 10 + unit / 2) / unit;
        out.append_number(tenths / 10);
        out += '.';
        out += static_cast<char>('0' + tenths % 10);
        out += mega ? " MB (" : " kB (";
    }
    out.append_number(bytes);
    out += bytes >= 1000 ? " bytes)" : " bytes";
}

namespace {

// " (eng, "Desc")": where a comment or lyrics belong, when they say.
void append_language(TextBuffer& out, std::string_view language, std::string_view description) {
    if (language.empty() && description.empty()) return;
    out += " (";
    append_printable(out, language);
    if (!description.empty()) {
        if (!language.empty()) out += ", ";
        out += '"';
        append_printable(out, description);
        out += '"';
    }
    out += ')';
}

std::string tag_text(std::string_view latin1) { return printable(latin1_to_utf8(latin1)); }

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

namespace {

// "      TIT2 (Title): Blue": each frame of the tag, with what it holds.
void append_frames(TextBuffer& out, const AnalysedFile& file) {
    const int32_t count = std::min(file.frame_count(), 4096);
    for (int32_t i = 0; i < count; ++i) {
        velkor_frame_info info;
        if (!file.frame(i, info)) {
            out += "      (the frames cannot be read again: the file changed, or came from a stream)\n";
            return;
        }
        out += "      ";
        append_printable(out, info.id);
        const std::string_view name = file.frame_text(i, VELKOR_FRAME_NAME);
        if (!name.empty()) {
            out += " (";
            out += name;
            out += ')';
        }
        // The frame's own description, language, owner or element id.
        std::string_view qualifiers[] = {file.frame_text(i, VELKOR_FRAME_LANGUAGE),
                                         file.frame_text(i, VELKOR_FRAME_DESCRIPTION),
                                         file.frame_text(i, VELKOR_FRAME_OWNER),
                                         file.frame_text(i, VELKOR_FRAME_ELEMENT_ID)};
        bool first = true;
        for (const std::string_view q : qualifiers) {
            if (q.empty()) continue;
            out += first ? " [" : ", ";
            append_printable(out, q);
            first = false;
        }
        if (!first) out += ']';
        out += ':';
        if (info.encrypted) out += " (encrypted)";
        for (int32_t v = 0; v < info.value_count; ++v) {
            out += v == 0 ? " " : "; ";
            append_printable(out, file.frame_text(i, VELKOR_FRAME_VALUE, v));
        }
        if (info.rating >= 0) {
            out += " rating ";
            out.append_number(info.rating);
        }
        if (info.play_count >= 0) {
            out += " played ";
            out.append_number(info.play_count);
        }
        if (info.start_ms >= 0) {
            out += ' ';
            append_time(out, info.start_ms);
            out += " to ";
            append_time(out, info.end_ms);
        }
        for (int32_t c = 0; c < info.child_count; ++c) {
            out += c == 0 ? " " : ", ";
            append_printable(out, file.frame_text(i, VELKOR_FRAME_CHILD, c));
        }
        const std::string_view title = file.frame_text(i, VELKOR_FRAME_TITLE);
        if (!title.empty()) {
            out += " \"";
            append_printable(out, title);
            out += '"';
        }
        if (info.value_count == 0 && info.kind != VELKOR_FRAME_TEXT && info.kind != VELKOR_FRAME_POPULARIMETER &&
            info.kind != VELKOR_FRAME_CHAPTER && info.kind != VELKOR_FRAME_TOC && info.body_size >= 0) {
            out += ' ';
            out.append_number(info.body_size);
            out += " bytes";
        }
        if (info.truncated) out += " (cut)";
        out += '\n';
    }
}

void append_id3v2(TextBuffer& out, const AnalysedFile& file, bool all) {
    const velkor_file_facts& f = file.facts();
    out += "  ID3v2.";
    out.append_number(f.id3v2_version);
    out += '\n';
    optional_line(out, "    ", "title", file.text(VELKOR_ID3V2_TITLE));
    optional_line(out, "    ", "artist", file.text(VELKOR_ID3V2_ARTIST));
    optional_line(out, "    ", "album", file.text(VELKOR_ID3V2_ALBUM));
    optional_line(out, "    ", "album artist", file.text(VELKOR_ID3V2_ALBUM_ARTIST));
    optional_line(out, "    ", "year", file.text(VELKOR_ID3V2_YEAR));
    optional_line(out, "    ", "track", file.text(VELKOR_ID3V2_TRACK));
    optional_line(out, "    ", "disc", file.text(VELKOR_ID3V2_DISC));
    optional_line(out, "    ", "genre", file.text(VELKOR_ID3V2_GENRE));
    optional_line(out, "    ", "composer", file.text(VELKOR_ID3V2_COMPOSER));
    // Every comment and lyrics with its language and description; the
    // library's one comment when its frames cannot be read again.
    bool comments = false;
    const int32_t count = std::min(file.frame_count(), 4096);
    for (int32_t i = 0; i < count; ++i) {
        velkor_frame_info info;
        if (!file.frame(i, info)) break;
        if (info.kind != VELKOR_FRAME_COMMENT && info.kind != VELKOR_FRAME_LYRICS) continue;
        const std::string_view text = file.frame_text(i, VELKOR_FRAME_VALUE, 0);
        if (text.empty()) continue;
        label(out, "    ", info.kind == VELKOR_FRAME_COMMENT ? "comment" : "lyrics");
        append_printable(out, text);
        append_language(out, file.frame_text(i, VELKOR_FRAME_LANGUAGE), file.frame_text(i, VELKOR_FRAME_DESCRIPTION));
        out += '\n';
        comments = true;
    }
    if (!comments) optional_line(out, "    ", "comment", file.text(VELKOR_ID3V2_COMMENT));
    for (int32_t i = 0; i < f.picture_count; ++i) {
        const velkor_picture_info picture = file.picture(i);
        label(out, "    ", "picture");
        out += picture_type_name(picture.type);
        const std::string_view mime = file.picture_text(i, VELKOR_PICTURE_MIME);
        if (!mime.empty()) {
            out += ", ";
            append_printable(out, mime);
        }
        out += ", ";
        append_size(out, picture.bytes);
        const std::string_view description = file.picture_text(i, VELKOR_PICTURE_DESCRIPTION);
        if (!description.empty()) {
            out += ", \"";
            append_printable(out, description);
            out += '"';
        }
        out += '\n';
    }
    if (all) {
        label(out, "    ", "frames");
        out.append_number(file.frame_count());
        out += '\n';
        append_frames(out, file);
    }
}

// "-6.50 dB" and the like: a figure with two decimals.
void append_fixed(TextBuffer& out, double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    out += std::string_view(text);
}

// "3 of 12", "3": a number and its total.
void number_line(TextBuffer& out, std::string_view name, int32_t number, int32_t total) {
    if (number < 0) return;
    label(out, "  ", name);
    out.append_number(number);
    if (total >= 0) {
        out += " of ";
        out.append_number(total);
    }
    out += '\n';
}

// The facts the tags give in common (ID3v2, else APEv2, else ID3v1), and
// the encoder's settings: only those there are.
void append_common(TextBuffer& out, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    const velkor_tag_facts_info& t = file.tags();
    const std::string_view method = file.text(VELKOR_STREAM_LAME_METHOD), preset = file.text(VELKOR_STREAM_LAME_PRESET);
    if (!method.empty() || !preset.empty() || f.lame_lowpass_hz > 0) {
        label(out, "  ", "encoding");
        std::string_view separator;
        for (const std::string_view part : {method, preset}) {
            if (part.empty()) continue;
            out += separator;
            append_printable(out, part);
            separator = ", ";
        }
        if (f.lame_lowpass_hz > 0) {
            out += separator;
            out += "lowpass ";
            out.append_number(f.lame_lowpass_hz);
            out += " Hz";
        }
        out += '\n';
    }
    number_line(out, "track", t.track, t.track_total);
    number_line(out, "disc", t.disc, t.disc_total);
    optional_line(out, "  ", "date", file.text(VELKOR_ID3V2_DATE));
    optional_line(out, "  ", "released", file.text(VELKOR_TAG_RELEASE_DATE));
    optional_line(out, "  ", "original date", file.text(VELKOR_TAG_ORIGINAL_DATE));
    if (t.compilation >= 0) text_line(out, "  ", "compilation", t.compilation ? "yes" : "no");
    optional_line(out, "  ", "bpm", file.text(VELKOR_TAG_BPM));
    number_line(out, "rating", t.rating, 255);
    number_line(out, "play count", t.play_count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(t.play_count), -1);
    const uint32_t known = t.replaygain_known;
    const struct {
        uint32_t gain, peak;
        double gain_db, peak_value;
        const char* name;
    } gains[] = {{VELKOR_REPLAYGAIN_TRACK_GAIN, VELKOR_REPLAYGAIN_TRACK_PEAK, t.track_gain_db, t.track_peak, "replaygain track"},
                 {VELKOR_REPLAYGAIN_ALBUM_GAIN, VELKOR_REPLAYGAIN_ALBUM_PEAK, t.album_gain_db, t.album_peak, "replaygain album"}};
    for (const auto& g : gains) {
        if ((known & (g.gain | g.peak)) == 0) continue;
        label(out, "  ", g.name);
        if (known & g.gain) {
            append_fixed(out, g.gain_db, 2);
            out += " dB";
        }
        if (known & g.peak) {
            out += (known & g.gain) ? ", peak " : "peak ";
            append_fixed(out, g.peak_value, 6);
        }
        out += '\n';
    }
    optional_line(out, "  ", "grouping", file.text(VELKOR_TAG_GROUPING));
    optional_line(out, "  ", "key", file.text(VELKOR_TAG_KEY));
    optional_line(out, "  ", "artist sort", file.text(VELKOR_TAG_ARTIST_SORT));
    optional_line(out, "  ", "album sort", file.text(VELKOR_TAG_ALBUM_SORT));
    optional_line(out, "  ", "title sort", file.text(VELKOR_TAG_TITLE_SORT));
    optional_line(out, "  ", "album artist sort", file.text(VELKOR_TAG_ALBUM_ARTIST_SORT));
    static constexpr std::pair<const char*, int32_t> kIds[] = {
        {"mb track id", VELKOR_TAG_MUSICBRAINZ_TRACK_ID},
        {"mb album id", VELKOR_TAG_MUSICBRAINZ_ALBUM_ID},
        {"mb artist id", VELKOR_TAG_MUSICBRAINZ_ARTIST_ID},
        {"mb album artist", VELKOR_TAG_MUSICBRAINZ_ALBUM_ARTIST_ID},
        {"mb release group", VELKOR_TAG_MUSICBRAINZ_RELEASE_GROUP_ID},
        {"mb release track", VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID}};
    for (const auto& [name, field] : kIds) optional_line(out, "  ", name, file.text(field));
}

// "  APEv2" and each item: "    KEY: value".
void append_ape(TextBuffer& out, const AnalysedFile& file) {
    const int32_t count = file.ape_item_count();
    if (count <= 0) return;
    out += "  APEv2\n";
    for (int32_t i = 0; i < count; ++i) {
        velkor_ape_item_info info;
        if (!file.ape_item(i, info)) break;
        label(out, "    ", info.key);
        if (info.kind == VELKOR_APE_BINARY) {
            out += "binary, ";
            append_size(out, info.body_size);
        }
        for (int32_t v = 0; v < info.value_count; ++v) {
            if (v > 0) out += "; ";
            append_printable(out, file.ape_item_text(i, VELKOR_APE_VALUE, v));
        }
        out += '\n';
    }
}

void append_id3v1(TextBuffer& out, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    out += f.id3v1 == 11 ? "  ID3v1.1\n" : "  ID3v1.0\n";
    optional_line(out, "    ", "title", file.text(VELKOR_ID3V1_TITLE));
    optional_line(out, "    ", "artist", file.text(VELKOR_ID3V1_ARTIST));
    optional_line(out, "    ", "album", file.text(VELKOR_ID3V1_ALBUM));
    optional_line(out, "    ", "year", file.text(VELKOR_ID3V1_YEAR));
    optional_line(out, "    ", "comment", file.text(VELKOR_ID3V1_COMMENT));
    if (f.id3v1 == 11) {
        label(out, "    ", "track");
        out.append_number(f.id3v1_track);
        out += '\n';
    }
    if (f.id3v1_genre != 255) {
        label(out, "    ", "genre");
        // The names players added to ID3v1's 126 too, which the tag's own
        // reading leaves "not supported".
        const char* name = velkor_genre_name(f.id3v1_genre);
        append_printable(out, name ? std::string_view(name) : file.text(VELKOR_ID3V1_GENRE));
        out += " (";
        out.append_number(f.id3v1_genre);
        out += ")\n";
    }
}

}  // namespace

void append_block(TextBuffer& out, std::string_view path, const AnalysedFile& file, bool all) {
    const velkor_file_facts& f = file.facts();
    const bool estimated = f.frames_exact == 0;
    append_printable(out, path);
    out += '\n';
    if (!file.has_audio()) {
        // Tags, but no audio: the other format found, if any.
        text_line(out, "  ", "audio", "none (no MPEG audio in it)");
        optional_line(out, "  ", "format", file.text(VELKOR_STREAM_FORMAT));
        label(out, "  ", "size");
        append_size(out, f.file_size);
        out += '\n';
    } else {
    text_line(out, "  ", "version", file.text(VELKOR_STREAM_VERSION));
    // Only where the stream lies inside another format's file.
    optional_line(out, "  ", "container", file.text(VELKOR_STREAM_FORMAT));

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
    append_time(out, f.duration_ms);
    out += " (";
    append_seconds(out, f.duration_ms);
    if (f.gapless_duration_ms >= 0) {
        out += ", gapless ";
        append_seconds(out, f.gapless_duration_ms);
    }
    out += estimated ? ", estimated)" : ")";
    out += f.truncated == 1 ? " (cut short)\n" : "\n";

    label(out, "  ", "size");
    append_size(out, f.file_size);
    out += '\n';
    label(out, "  ", "frames");
    out.append_number(f.frames);
    out += estimated ? " (estimated from the size)\n" : "\n";

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

    }
    append_common(out, file);
    if (f.id3v2_version != 0) append_id3v2(out, file, all);
    if (f.id3v1 != 0) append_id3v1(out, file);
    append_ape(out, file);
    if (!file.has_tags()) text_line(out, "  ", "tags", "none");
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

namespace velkor::cli {

namespace {

// A text of the ID3v2 tag, else of the ID3v1 tag: the one players show.
std::string_view shown_text(const AnalysedFile& file, int32_t id3v2, int32_t id3v1) {
    const std::string_view text = file.text(id3v2);
    return text.empty() ? file.text(id3v1) : text;
}

}  // namespace

void append_brief(TextBuffer& out, std::string_view path, const AnalysedFile& file, std::string_view format) {
    if (format.empty()) format = "{path}  {duration}  {bitrate} kbit/s  {artist} - {title}";
    const velkor_file_facts& f = file.facts();
    const bool audio = file.has_audio();
    for (std::size_t at = 0; at < format.size();) {
        const std::size_t open = format.find('{', at);
        const std::size_t close = open == std::string_view::npos ? open : format.find('}', open);
        if (close == std::string_view::npos) {
            out += format.substr(at);
            break;
        }
        out += format.substr(at, open - at);
        at = close + 1;
        const std::string_view field = format.substr(open + 1, close - open - 1);
        if (field == "path") {
            out += printable(path);
        } else if (field == "duration") {
            if (!audio) continue;
            const int64_t seconds = (f.duration_ms + 500) / 1000;
            out.append_number(seconds / 60);
            out += ':';
            out += static_cast<char>('0' + seconds % 60 / 10);
            out += static_cast<char>('0' + seconds % 10);
        } else if (field == "bitrate") {
            if (audio) out.append_number(f.bitrate_kbps);
        } else if (field == "rate") {
            if (audio) out.append_number(f.sampling_rate_hz);
        } else if (field == "size") {
            out.append_number(f.file_size);
        } else if (field == "artist") {
            out += printable(shown_text(file, VELKOR_ID3V2_ARTIST, VELKOR_ID3V1_ARTIST));
        } else if (field == "title") {
            out += printable(shown_text(file, VELKOR_ID3V2_TITLE, VELKOR_ID3V1_TITLE));
        } else if (field == "album") {
            out += printable(shown_text(file, VELKOR_ID3V2_ALBUM, VELKOR_ID3V1_ALBUM));
        } else if (field == "year") {
            out += printable(shown_text(file, VELKOR_ID3V2_YEAR, VELKOR_ID3V1_YEAR));
        } else if (field == "genre") {
            out += printable(shown_text(file, VELKOR_ID3V2_GENRE, VELKOR_ID3V1_GENRE));
        } else if (field == "track") {
            if (const int32_t track = combined_track(file); track > 0) out.append_number(track);
        } else {
            out += format.substr(open, close - open + 1);  // not a field: as written
        }
    }
    out += '\n';
}

}  // namespace velkor::cli
