// The JSON object of one file's facts.
#include "json_output.h"

#include <cstring>

#include "../src/base/duration_text.h"
#include "text_encoding.h"

namespace velkor::cli {

namespace {

// Writes one object member by member, commas included, straight into the
// output: a line is written for every file, so no member is built as a
// string of its own.
class JsonObject {
public:
    explicit JsonObject(TextBuffer& out) : out_(out) {}

    // Keys are plain identifiers, nothing in them to escape; N counts the
    // name's zero byte.
    template <std::size_t N>
    JsonObject& raw(const char (&key)[N], std::string_view json) {
        this->key(key);
        out_ += json;
        return *this;
    }
    template <std::size_t N>
    JsonObject& text(const char (&key)[N], std::string_view text) {
        this->key(key);
        append_json_string(out_, text);
        return *this;
    }
    // A text, or null when there is none.
    template <std::size_t N>
    JsonObject& text_or_null(const char (&key)[N], std::string_view text) {
        return text.empty() ? raw(key, "null") : this->text(key, text);
    }
    template <std::size_t N>
    JsonObject& number(const char (&key)[N], int64_t value) {
        this->key(key);
        out_.append_number(value);
        return *this;
    }
    template <std::size_t N>
    JsonObject& number_or_null(const char (&key)[N], int64_t value, int64_t none) {
        return value == none ? raw(key, "null") : number(key, value);
    }
    template <std::size_t N>
    JsonObject& boolean(const char (&key)[N], bool value) {
        return raw(key, value ? "true" : "false");
    }
    // A member whose value is an object: its key, and the object to fill.
    template <std::size_t N>
    JsonObject nested(const char (&key)[N]) {
        this->key(key);
        return JsonObject(out_);
    }
    // A member whose value is a list of objects: each element is filled in
    // turn through the object element() gives, and close_list() ends it.
    template <std::size_t N>
    JsonObject& list(const char (&key)[N]) {
        this->key(key);
        out_ += '[';
        elements_ = 0;
        return *this;
    }
    JsonObject element() {
        if (elements_++ > 0) out_ += ',';
        return JsonObject(out_);
    }
    JsonObject& close_list() {
        out_ += ']';
        return *this;
    }
    void done() { out_ += first_ ? std::string_view("{}") : std::string_view("}"); }

private:
    // `{"name":` or `,"name":`, written at once.
    template <std::size_t N>
    void key(const char (&name)[N]) {
        char* at = out_.room(N + 3);
        *at++ = first_ ? '{' : ',';
        *at++ = '"';
        std::memcpy(at, name, N - 1);
        at += N - 1;
        *at++ = '"';
        *at++ = ':';
        out_.grow_to(at);
        first_ = false;
    }

    TextBuffer& out_;
    bool first_ = true;
    int elements_ = 0;
};


const char* vbr_header_name(int32_t header) {
    switch (header) {
        case VELKOR_VBR_XING: return "\"Xing\"";
        case VELKOR_VBR_INFO: return "\"Info\"";
        case VELKOR_VBR_VBRI: return "\"VBRI\"";
        default: return "null";
    }
}

void put_id3v1(JsonObject object, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    object.text("version", f.id3v1 == 11 ? "1.1" : "1.0")
        .text("title", file.text(VELKOR_ID3V1_TITLE))
        .text("artist", file.text(VELKOR_ID3V1_ARTIST))
        .text("album", file.text(VELKOR_ID3V1_ALBUM))
        .number("year", leading_number(file.text(VELKOR_ID3V1_YEAR), 0))
        .text("comment", file.text(VELKOR_ID3V1_COMMENT))
        .number_or_null("track", f.id3v1_track, -1)
        .number("genre", f.id3v1_genre)
        .text("genre_name", file.text(VELKOR_ID3V1_GENRE))
        .done();
}

void put_id3v2(JsonObject object, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    const char version[] = {'2', '.', static_cast<char>('0' + f.id3v2_version)};
    const std::string_view genre = file.text(VELKOR_ID3V2_GENRE);
    object.text("version", std::string_view(version, sizeof version))
        .text("title", file.text(VELKOR_ID3V2_TITLE))
        .text("artist", file.text(VELKOR_ID3V2_ARTIST))
        .text("album", file.text(VELKOR_ID3V2_ALBUM))
        .text("album_artist", file.text(VELKOR_ID3V2_ALBUM_ARTIST))
        .text("year", file.text(VELKOR_ID3V2_YEAR))
        .text("comment", file.text(VELKOR_ID3V2_COMMENT))
        .text("track", file.text(VELKOR_ID3V2_TRACK))
        .text("disc", file.text(VELKOR_ID3V2_DISC))
        .text("genre", genre)
        .number_or_null("genre_index", genre.empty() ? -1000 : velkor_genre_number(genre.data()), -1000)
        .text("composer", file.text(VELKOR_ID3V2_COMPOSER))
        .list("pictures");
    for (int32_t i = 0; i < f.picture_count; ++i) {
        const velkor_picture_info picture = file.picture(i);
        object.element()
            .number("type", picture.type)
            .text("mime", file.picture_text(i, VELKOR_PICTURE_MIME))
            .text("description", file.picture_text(i, VELKOR_PICTURE_DESCRIPTION))
            .number("bytes", picture.bytes)
            .done();
    }
    object.close_list().done();
}

}  // namespace

void append_json_failure(TextBuffer& out, std::string_view path, int status, std::string_view error) {
    JsonObject(out).text("file", path).number("status", status).text("error", error).done();
    out += '\n';
}

void append_json_line(TextBuffer& out, std::string_view path, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    JsonObject object(out);
    object.text("file", path).number("status", 0).text("version", file.text(VELKOR_STREAM_VERSION));
    if (f.mpeg_version == 25) {
        object.raw("mpeg_version", "2.5");
    } else {
        object.number("mpeg_version", f.mpeg_version / 10);
    }
    const int64_t seconds = f.duration_ms / 1000;
    char length[kDurationTextSize];
    const auto length_size = static_cast<std::size_t>(duration_text(seconds, length) - length);
    object.number("layer", f.layer)
        .number("bitrate_kbps", f.bitrate_kbps)
        .boolean("vbr", f.bitrate_varies != 0)
        .raw("vbr_header", vbr_header_name(f.vbr_header))
        .boolean("frames_exact", f.frames_exact != 0)
        .number("sampling_rate_hz", f.sampling_rate_hz)
        .text("mode", file.text(VELKOR_STREAM_MODE))
        .number("length_seconds", seconds)
        .text("length", std::string_view(length, length_size))
        .number("duration_ms", f.duration_ms)
        .number_or_null("gapless_duration_ms", f.gapless_duration_ms, -1)
        .number("samples", f.samples)
        .number_or_null("gapless_samples", f.gapless_samples, -1)
        .text_or_null("stream_format", file.text(VELKOR_STREAM_FORMAT))
        .text_or_null("encoder", file.text(VELKOR_STREAM_ENCODER))
        .number_or_null("encoder_delay", f.encoder_delay, -1)
        .number_or_null("encoder_padding", f.encoder_padding, -1)
        .number("file_size", f.file_size)
        .number("size_kb", f.file_size / 1024)
        .number("frames", f.frames)
        .number("first_frame_offset", f.first_frame_offset)
        .number_or_null("track", combined_track(file), -1);
    if (f.id3v1 != 0) {
        put_id3v1(object.nested("id3v1"), file);
    } else {
        object.raw("id3v1", "null");
    }
    if (f.id3v2_version != 0) {
        put_id3v2(object.nested("id3v2"), file);
    } else {
        object.raw("id3v2", "null");
    }
    object.done();
    out += '\n';
}

}  // namespace velkor::cli
