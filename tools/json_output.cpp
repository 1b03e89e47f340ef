// The JSON object of one file's facts.
#include "json_output.h"

#include <charconv>
#include <cstring>

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
    JsonObject& latin1(const char (&key)[N], std::string_view text) {
        this->key(key);
        append_json_latin1(out_, text);
        return *this;
    }
    template <std::size_t N>
    JsonObject& text(const char (&key)[N], std::string_view text) {
        this->key(key);
        append_json_string(out_, text);
        return *this;
    }
    template <std::size_t N>
    JsonObject& number(const char (&key)[N], int64_t value) {
        this->key(key);
        constexpr std::size_t kDigits = 20;  // an int64_t with its sign
        char* at = out_.room(kDigits);
        out_.grow_to(std::to_chars(at, at + kDigits, value).ptr);
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
};


void put_id3v1(JsonObject object, const Id3v1Facts& v1) {
    object.text("version", v1.v11 ? "1.1" : "1.0")
        .latin1("title", text(v1.title))
        .latin1("artist", text(v1.artist))
        .latin1("album", text(v1.album))
        .number("year", v1.year)
        .latin1("comment", text(v1.comment))
        .number_or_null("track", v1.track, -1)
        .number("genre", v1.genre)
        .text("genre_name", text(v1.genre_name))
        .done();
}

void put_id3v2(JsonObject object, const Id3v2Facts& v2) {
    object.latin1("title", text(v2.title))
        .latin1("artist", text(v2.artist))
        .latin1("album", text(v2.album))
        .latin1("year", text(v2.year))
        .latin1("comment", text(v2.comment))
        .latin1("track", text(v2.track))
        .latin1("genre", text(v2.genre))
        .number_or_null("genre_index", v2.genre_index, -1000)
        .done();
}

}  // namespace

void append_json_line(TextBuffer& out, const FileFacts& f, std::string_view problem) {
    JsonObject object(out);
    object.text("file", f.path).number("status", f.status);
    if (f.status != 0 || !problem.empty()) {
        object.text("error", problem.empty() ? std::string_view(status_problem(f.status)) : problem).done();
        out += '\n';
        return;
    }
    object.text("version", text(f.version));
    // The version is 1, 2, 2.5 or 0, written as "%g" writes them.
    if (f.mpeg_version == 2.5f) {
        object.raw("mpeg_version", "2.5");
    } else {
        object.number("mpeg_version", static_cast<int64_t>(f.mpeg_version));
    }
    object.number("layer", f.layer)
        .number("bitrate_kbps", f.bitrate_kbps)
        .boolean("vbr", f.vbr)
        .number("sampling_rate_hz", f.sampling_rate_hz)
        .text("mode", text(f.mode))
        .number("length_seconds", f.length_seconds)
        .text("length", text(f.length))
        .number("file_size", f.file_size)
        .number("size_kb", f.file_size / 1024)
        .number("frames", f.frames)
        .number("first_frame_offset", f.first_frame_offset)
        .number_or_null("track", f.track, -1);
    if (f.id3v1.present) {
        put_id3v1(object.nested("id3v1"), f.id3v1);
    } else {
        object.raw("id3v1", "null");
    }
    if (f.id3v2.present) {
        put_id3v2(object.nested("id3v2"), f.id3v2);
    } else {
        object.raw("id3v2", "null");
    }
    object.done();
    out += '\n';
}

}  // namespace velkor::cli
