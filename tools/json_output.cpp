// The JSON object of one file's facts.
#include "json_output.h"

#include <charconv>
#include <cstring>

#include "text_encoding.h"

namespace velkor::cli {

namespace {

// Builds one object member by member, commas included.
class JsonObject {
public:
    // Room for a whole line at once rather than growing it step by step.
    JsonObject() { out_.reserve(1024); }

    // Members are appended in place: a line is written for every file, and
    // building each value as a string of its own cost more than the rest.
    JsonObject& raw(const char* key, const std::string& json) {
        this->key(key);
        out_ += json;
        return *this;
    }
    JsonObject& latin1(const char* key, const std::string& text) {
        this->key(key);
        append_json_latin1(out_, text);
        return *this;
    }
    JsonObject& text(const char* key, const std::string& ascii) {
        this->key(key);
        append_json_string(out_, ascii);
        return *this;
    }
    JsonObject& number(const char* key, int64_t value) {
        this->key(key);
        char text[24];
        out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
        return *this;
    }
    JsonObject& number_or_null(const char* key, int64_t value, int64_t none) {
        return value == none ? raw(key, "null") : number(key, value);
    }
    JsonObject& boolean(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
    std::string done() {
        if (first_) out_ += '{';
        out_ += '}';
        return std::move(out_);
    }

private:
    // Keys are plain identifiers: nothing in them needs escaping. Put
    // together first, so that a member costs one append and not three.
    void key(const char* name) {
        char text[48] = {first_ ? '{' : ',', '"'};
        const std::size_t length = std::strlen(name);
        first_ = false;
        if (length + 4 > sizeof text) {
            out_.append(text, 2).append(name).append("\":");
            return;
        }
        std::memcpy(text + 2, name, length);
        text[length + 2] = '"';
        text[length + 3] = ':';
        out_.append(text, length + 4);
    }

    std::string out_;
    bool first_ = true;
};

// The version is 1, 2, 2.5 or 0, written as "%g" writes them.
std::string mpeg_version_json(float version) {
    return version == 2.5f ? "2.5" : std::to_string(static_cast<int>(version));
}

std::string id3v1_json(const Id3v1Facts& v1) {
    if (!v1.present) return "null";
    return JsonObject()
        .text("version", v1.v11 ? "1.1" : "1.0")
        .latin1("title", v1.title)
        .latin1("artist", v1.artist)
        .latin1("album", v1.album)
        .number("year", v1.year)
        .latin1("comment", v1.comment)
        .number_or_null("track", v1.track, -1)
        .number("genre", v1.genre)
        .text("genre_name", v1.genre_name)
        .done();
}

std::string id3v2_json(const Id3v2Facts& v2) {
    if (!v2.present) return "null";
    return JsonObject()
        .latin1("title", v2.title)
        .latin1("artist", v2.artist)
        .latin1("album", v2.album)
        .latin1("year", v2.year)
        .latin1("comment", v2.comment)
        .latin1("track", v2.track)
        .latin1("genre", v2.genre)
        .number_or_null("genre_index", v2.genre_index, -1000)
        .done();
}

}  // namespace

std::string json_line(const FileFacts& f, const std::string& problem) {
    JsonObject object;
    object.raw("file", json_string(bytes_to_utf8(f.path))).number("status", f.status);
    if (f.status != 0 || !problem.empty()) {
        return object.text("error", problem.empty() ? status_problem(f.status) : problem).done();
    }
    return object.text("version", f.version)
        .raw("mpeg_version", mpeg_version_json(f.mpeg_version))
        .number("layer", f.layer)
        .number("bitrate_kbps", f.bitrate_kbps)
        .boolean("vbr", f.vbr)
        .number("sampling_rate_hz", f.sampling_rate_hz)
        .text("mode", f.mode)
        .number("length_seconds", f.length_seconds)
        .text("length", f.length)
        .number("file_size", f.file_size)
        .number("size_kb", f.file_size / 1024)
        .number("frames", f.frames)
        .number("first_frame_offset", f.first_frame_offset)
        .number_or_null("track", f.track, -1)
        .raw("id3v1", id3v1_json(f.id3v1))
        .raw("id3v2", id3v2_json(f.id3v2))
        .done();
}

}  // namespace velkor::cli
