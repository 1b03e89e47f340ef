// The JSON object of one file's facts: the layout doc/json.md describes.
#include "json_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "text_encoding.h"

namespace velkor::cli {

namespace {

// Writes one object member by member, commas included, straight into the
// output: a line is written for every file, so no member is built as a
// string of its own. Absent values are null, whatever their type.
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
    // A text; null when empty (no text of a tag is told apart from an
    // empty one).
    template <std::size_t N>
    JsonObject& text(const char (&key)[N], std::string_view text) {
        if (text.empty()) return raw(key, "null");
        this->key(key);
        append_json_string(out_, text);
        return *this;
    }
    template <std::size_t N>
    JsonObject& number(const char (&key)[N], int64_t value, int64_t none = INT64_MIN) {
        if (value == none) return raw(key, "null");
        this->key(key);
        out_.append_number(value);
        return *this;
    }
    // A number with a fraction, written as short as reads back the same.
    template <std::size_t N>
    JsonObject& real(const char (&key)[N], double value, bool known) {
        if (!known) return raw(key, "null");
        this->key(key);
        char* at = out_.room(32);
        out_.grow_to(std::to_chars(at, at + 32, value).ptr);
        return *this;
    }
    template <std::size_t N>
    JsonObject& boolean(const char (&key)[N], bool value) {
        return raw(key, value ? "true" : "false");
    }
    // A member whose value the caller writes itself, into the buffer given.
    template <std::size_t N>
    TextBuffer& nested_raw(const char (&key)[N]) {
        this->key(key);
        return out_;
    }
    // A member whose value is an object: its key, and the object to fill.
    template <std::size_t N>
    JsonObject nested(const char (&key)[N]) {
        this->key(key);
        return JsonObject(out_);
    }
    // A member whose value is an array of texts, null when there are none.
    template <std::size_t N>
    JsonObject& texts(const char (&key)[N], const std::vector<std::string_view>& values, bool null_when_empty) {
        if (values.empty() && null_when_empty) return raw(key, "null");
        this->key(key);
        out_ += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out_ += ',';
            append_json_string(out_, values[i]);
        }
        out_ += ']';
        return *this;
    }
    // A member whose value is an array of objects: each element is filled in
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

    // The line's head: the layout's version, the writer, the path.
    JsonObject& head(std::string_view path) {
        raw("json_version", "\"" JSON_LAYOUT_VERSION "\"").text("velkor", velkor_version());
        key("path");
        append_json_name(out_, path);
        if (!valid_utf8(path)) {
            key("path_bytes");
            append_json_base64(out_, path);
        }
        return *this;
    }

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

const char* mpeg_version_number(int32_t version) {
    switch (version) {
        case 10: return "1.0";
        case 20: return "2.0";
        case 25: return "2.5";
        default: return "null";
    }
}

const char* channel_mode_name(int32_t mode) {
    switch (mode) {
        case VELKOR_MODE_STEREO: return "\"Stereo\"";
        case VELKOR_MODE_JOINT_STEREO: return "\"Joint Stereo\"";
        case VELKOR_MODE_DUAL_CHANNEL: return "\"Dual Channel\"";
        case VELKOR_MODE_SINGLE_CHANNEL: return "\"Single Channel\"";
        default: return "null";
    }
}

void put_id3v1(JsonObject object, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    object.text("version", f.id3v1 == 11 ? "1.1" : "1.0")
        .text("title", file.text(VELKOR_ID3V1_TITLE))
        .text("artist", file.text(VELKOR_ID3V1_ARTIST))
        .text("album", file.text(VELKOR_ID3V1_ALBUM))
        .text("year", file.text(VELKOR_ID3V1_YEAR))
        .text("comment", file.text(VELKOR_ID3V1_COMMENT))
        .number("track", f.id3v1_track, -1)
        .number("genre", f.id3v1_genre)
        .text("genre_name", file.text(VELKOR_ID3V1_GENRE))
        .done();
}

void put_frame(JsonObject object, const AnalysedFile& file, int32_t i, const velkor_frame_info& info) {
    std::vector<std::string_view> values, children;
    for (int32_t v = 0; v < info.value_count; ++v) values.push_back(file.frame_text(i, VELKOR_FRAME_VALUE, v));
    for (int32_t c = 0; c < info.child_count; ++c) children.push_back(file.frame_text(i, VELKOR_FRAME_CHILD, c));
    object.text("id", info.id)
        .text("id_v24", info.id_v24)
        .text("kind", file.frame_text(i, VELKOR_FRAME_KIND_NAME))
        .text("name", file.frame_text(i, VELKOR_FRAME_NAME))
        .number("flags", info.flags)
        .boolean("encrypted", info.encrypted != 0)
        .boolean("compressed", info.compressed != 0)
        .number("size", info.body_size, -1)
        .texts("values", values, false)
        .text("description", file.frame_text(i, VELKOR_FRAME_DESCRIPTION))
        .text("language", file.frame_text(i, VELKOR_FRAME_LANGUAGE))
        .text("owner", file.frame_text(i, VELKOR_FRAME_OWNER))
        .number("rating", info.rating, -1)
        .number("play_count", info.play_count, -1)
        .text("element_id", file.frame_text(i, VELKOR_FRAME_ELEMENT_ID))
        .text("title", file.frame_text(i, VELKOR_FRAME_TITLE))
        .number("start_ms", info.start_ms, -1)
        .number("end_ms", info.end_ms, -1)
        .texts("children", children, false)
        .number("toc_flags", info.toc_flags, -1)
        .boolean("truncated", info.truncated != 0)
        .done();
}

// The ID3v2 frames as read once: their infos, or none when they could not
// be read again.
struct Frames {
    std::vector<velkor_frame_info> infos;
    bool readable = true;

    explicit Frames(const AnalysedFile& file) {
        const int32_t count = std::min(file.frame_count(), 4096);
        infos.resize(static_cast<std::size_t>(std::max(count, 0)));
        for (int32_t i = 0; i < count && readable; ++i) readable = file.frame(i, infos[static_cast<std::size_t>(i)]);
    }

    // The values of the text frames that give the tag's text `field`
    // ("title"), in tag order.
    std::vector<std::string_view> values(const AnalysedFile& file, std::string_view field, bool genre = false) const {
        std::vector<std::string_view> found;
        if (!readable) return found;
        for (std::size_t i = 0; i < infos.size(); ++i) {
            if (infos[i].kind != VELKOR_FRAME_TEXT || file.frame_text(static_cast<int32_t>(i), VELKOR_FRAME_FIELD) != field) {
                continue;
            }
            // A genre's values with their references resolved, as the
            // library gives them.
            const int32_t field = genre ? VELKOR_FRAME_GENRE : VELKOR_FRAME_VALUE;
            const int32_t count = genre ? INT32_MAX : infos[i].value_count;
            for (int32_t v = 0; v < count; ++v) {
                const char* value = file.frame_text_or_null(static_cast<int32_t>(i), field, v);
                if (value == nullptr) break;
                if (*value) found.push_back(value);
            }
        }
        return found;
    }

    // A list of the frames of one kind as {language, description, text}.
    template <std::size_t N>
    void put_texts(JsonObject& object, const char (&key)[N], const AnalysedFile& file, int32_t kind) const {
        object.list(key);
        for (std::size_t i = 0; readable && i < infos.size(); ++i) {
            if (infos[i].kind != kind) continue;
            const auto at = static_cast<int32_t>(i);
            object.element()
                .text("language", file.frame_text(at, VELKOR_FRAME_LANGUAGE))
                .text("description", file.frame_text(at, VELKOR_FRAME_DESCRIPTION))
                .text("text", file.frame_text(at, VELKOR_FRAME_VALUE, 0))
                .done();
        }
        object.close_list();
    }
};

// The common facts the tags give, after the stream's: Python's Facts
// names for them.
void put_common(JsonObject& object, const AnalysedFile& file, const Frames& frames) {
    const velkor_file_facts& f = file.facts();
    const velkor_tag_facts_info& t = file.tags();
    object.nested("lame")
        .text("vbr_method", file.text(VELKOR_STREAM_LAME_METHOD))
        .text("preset", file.text(VELKOR_STREAM_LAME_PRESET))
        .number("preset_number", f.lame_preset, -1)
        .number("quality", f.lame_quality, -1)
        .number("lowpass_hz", f.lame_lowpass_hz, -1)
        .done();
    object.number("track", t.track, -1)
        .number("track_total", t.track_total, -1)
        .number("disc", t.disc, -1)
        .number("disc_total", t.disc_total, -1);
    if (t.compilation < 0) {
        object.raw("compilation", "null");
    } else {
        object.boolean("compilation", t.compilation != 0);
    }
    object.number("bpm", t.bpm, -1)
        .text("bpm_text", file.text(VELKOR_TAG_BPM))
        .number("rating", t.rating, -1)
        .number("play_count", t.play_count, -1)
        .text("date", file.text(VELKOR_ID3V2_DATE))
        .number("year", t.year, -1)
        .number("month", t.month, -1)
        .number("day", t.day, -1)
        .number("hour", t.hour, -1)
        .number("minute", t.minute, -1)
        .text("release_date", file.text(VELKOR_TAG_RELEASE_DATE))
        .number("release_year", t.release_year, -1)
        .text("original_date", file.text(VELKOR_TAG_ORIGINAL_DATE))
        .number("original_year", t.original_year, -1);
    object.nested("replaygain")
        .real("track_gain_db", t.track_gain_db, (t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_GAIN) != 0)
        .real("track_peak", t.track_peak, (t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_PEAK) != 0)
        .real("album_gain_db", t.album_gain_db, (t.replaygain_known & VELKOR_REPLAYGAIN_ALBUM_GAIN) != 0)
        .real("album_peak", t.album_peak, (t.replaygain_known & VELKOR_REPLAYGAIN_ALBUM_PEAK) != 0)
        .done();
    object.text("lyrics", file.text(VELKOR_TAG_LYRICS))
        .text("grouping", file.text(VELKOR_TAG_GROUPING))
        .text("key", file.text(VELKOR_TAG_KEY))
        .text("artist_sort", file.text(VELKOR_TAG_ARTIST_SORT))
        .text("album_sort", file.text(VELKOR_TAG_ALBUM_SORT))
        .text("title_sort", file.text(VELKOR_TAG_TITLE_SORT))
        .text("album_artist_sort", file.text(VELKOR_TAG_ALBUM_ARTIST_SORT));
    // A map of the ids the tags give, by their short names.
    static constexpr std::pair<const char*, int32_t> kIds[] = {
        {"track_id", VELKOR_TAG_MUSICBRAINZ_TRACK_ID},
        {"album_id", VELKOR_TAG_MUSICBRAINZ_ALBUM_ID},
        {"artist_id", VELKOR_TAG_MUSICBRAINZ_ARTIST_ID},
        {"album_artist_id", VELKOR_TAG_MUSICBRAINZ_ALBUM_ARTIST_ID},
        {"release_group_id", VELKOR_TAG_MUSICBRAINZ_RELEASE_GROUP_ID},
        {"release_track_id", VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID}};
    TextBuffer& out = object.nested_raw("musicbrainz");
    out += '{';
    bool first = true;
    for (const auto& [name, field] : kIds) {
        const std::string_view id = file.text(field);
        if (id.empty()) continue;
        if (!first) out += ',';
        first = false;
        append_json_string(out, name);
        out += ':';
        append_json_string(out, id);
    }
    out += '}';
    // Every comment frame, its first value as the text (the others are the
    // frame's values).
    frames.put_texts(object, "comments", file, VELKOR_FRAME_COMMENT);
    object.list("ape_items");
    for (int32_t i = 0; i < file.ape_item_count(); ++i) {
        velkor_ape_item_info info;
        if (!file.ape_item(i, info)) break;
        static constexpr const char* kKinds[] = {"text", "binary", "locator", "reserved"};
        std::vector<std::string_view> values;
        for (int32_t v = 0; v < info.value_count; ++v) values.push_back(file.ape_item_text(i, VELKOR_APE_VALUE, v));
        object.element()
            .text("key", info.key)
            .text("kind", info.kind >= 0 && info.kind < 4 ? kKinds[info.kind] : "reserved")
            .texts("values", values, false)
            .number("size", info.body_size)
            .boolean("read_only", info.read_only != 0)
            .boolean("truncated", info.truncated != 0)
            .done();
    }
    object.close_list();
}

// The texts of one kind: the frames' values apart, else the library's
// joined text as one value.
std::vector<std::string_view> texts(const AnalysedFile& file, const Frames& frames, std::string_view name,
                                    int32_t field, bool genre = false) {
    if (frames.readable) return frames.values(file, name, genre);
    const std::string_view joined = file.text(field);
    if (joined.empty()) return {};
    return {joined};
}

// The merged view: every key the file has, to the array of its values.
void put_tags(TextBuffer& out, const AnalysedFile& file) {
    out += '{';
    for (int32_t i = 0; const char* key = file.tag_key(i); ++i) {
        if (i > 0) out += ',';
        append_json_string(out, key);
        out += ":[";
        const int32_t count = file.tag_count(key);
        for (int32_t v = 0; v < count; ++v) {
            if (v > 0) out += ',';
            append_json_string(out, file.tag_value(key, v));
        }
        out += ']';
    }
    out += '}';
}

void put_id3v2(JsonObject object, const AnalysedFile& file, const Frames& frames) {
    const velkor_file_facts& f = file.facts();
    const char version[] = {'2', '.', static_cast<char>('0' + f.id3v2_version)};
    const NumberOf track = number_of(file.text(VELKOR_ID3V2_TRACK));
    const NumberOf disc = number_of(file.text(VELKOR_ID3V2_DISC));
    object.text("version", std::string_view(version, sizeof version))
        .texts("title", texts(file, frames, "title", VELKOR_ID3V2_TITLE), true)
        .texts("artist", texts(file, frames, "artist", VELKOR_ID3V2_ARTIST), true)
        .texts("album", texts(file, frames, "album", VELKOR_ID3V2_ALBUM), true)
        .texts("album_artist", texts(file, frames, "album_artist", VELKOR_ID3V2_ALBUM_ARTIST), true)
        .texts("composer", texts(file, frames, "composer", VELKOR_ID3V2_COMPOSER), true)
        .texts("genre", texts(file, frames, "genre", VELKOR_ID3V2_GENRE, true), true)
        .text("year", file.text(VELKOR_ID3V2_YEAR))
        .text("date", file.text(VELKOR_ID3V2_DATE))
        .number("track", track.number, -1)
        .number("track_total", track.total, -1)
        .number("disc", disc.number, -1)
        .number("disc_total", disc.total, -1)
        .text("comment", file.text(VELKOR_ID3V2_COMMENT));
    frames.put_texts(object, "lyrics", file, VELKOR_FRAME_LYRICS);
    object.list("pictures");
    for (int32_t i = 0; i < f.picture_count; ++i) {
        const velkor_picture_info picture = file.picture(i);
        object.element()
            .number("type", picture.type)
            .text("mime", file.picture_text(i, VELKOR_PICTURE_MIME))
            .text("description", file.picture_text(i, VELKOR_PICTURE_DESCRIPTION))
            .number("size", picture.bytes)
            .done();
    }
    object.close_list();
    if (!frames.readable) {
        object.raw("frames", "null");
    } else {
        object.list("frames");
        for (std::size_t i = 0; i < frames.infos.size(); ++i) {
            put_frame(object.element(), file, static_cast<int32_t>(i), frames.infos[i]);
        }
        object.close_list();
    }
    object.done();
}

}  // namespace

const char* json_status_name(int32_t status) {
    switch (status) {
        case VELKOR_OK: return "ok";
        case VELKOR_ERROR_NOT_FOUND: return "not_found";
        case VELKOR_ERROR_NOT_PERMITTED: return "not_permitted";
        case VELKOR_ERROR_NOT_REGULAR: return "not_regular";
        case VELKOR_ERROR_NO_AUDIO: return "no_audio";
        case VELKOR_ERROR_READ: return "read";
        case VELKOR_ERROR_NO_MEMORY: return "no_memory";
        case VELKOR_ERROR_ARGUMENT: return "argument";
        case VELKOR_ERROR_READ_ONLY: return "read_only";
        case VELKOR_ERROR_NO_SPACE: return "no_space";
        case VELKOR_ERROR_WRITE: return "write";
        case VELKOR_ERROR_CHANGED: return "changed";
        case VELKOR_ERROR_LINKED: return "linked";
        case VELKOR_SKIPPED: return "skipped";
        default: return "unknown";
    }
}

void append_json_failure(TextBuffer& out, std::string_view path, std::string_view status, std::string_view error,
                         std::string_view stream_format) {
    JsonObject object(out);
    object.head(path).text("status", status).text("error", error);
    if (!stream_format.empty()) object.text("stream_format", stream_format);
    object.done();
    out += '\n';
}

void append_json_line(TextBuffer& out, std::string_view path, const AnalysedFile& file) {
    const velkor_file_facts& f = file.facts();
    const bool audio = file.has_audio();
    // A file with tags but no audio has no stream figures.
    const auto figure = [audio](int64_t value) { return audio ? value : INT64_MIN; };
    JsonObject object(out);
    object.head(path)
        .text("status", audio ? "ok" : "no_audio")
        .text("error", audio ? std::string_view() : std::string_view(velkor_status_text(VELKOR_ERROR_NO_AUDIO)))
        .boolean("has_audio", audio)
        .text("version", file.text(VELKOR_STREAM_VERSION))
        .raw("mpeg_version", audio ? mpeg_version_number(f.mpeg_version) : "null")
        .number("layer", figure(f.layer))
        .number("sampling_rate_hz", figure(f.sampling_rate_hz))
        .raw("channel_mode", audio ? channel_mode_name(f.channel_mode) : "null")
        .number("channels", figure(f.channels))
        .number("bitrate_kbps", figure(f.bitrate_kbps));
    if (audio) {
        object.boolean("bitrate_varies", f.bitrate_varies != 0);
    } else {
        object.raw("bitrate_varies", "null");
    }
    object.raw("vbr_header", audio ? vbr_header_name(f.vbr_header) : "null").number("frames", figure(f.frames));
    if (audio) {
        object.boolean("frames_exact", f.frames_exact != 0);
    } else {
        object.raw("frames_exact", "null");
    }
    if (audio) {
        object.boolean("truncated", f.truncated == 1);
    } else {
        object.raw("truncated", "null");
    }
    object.number("duration_ms", figure(f.duration_ms))
        .number("gapless_duration_ms", f.gapless_duration_ms, -1)
        .number("samples", figure(f.samples))
        .number("gapless_samples", f.gapless_samples, -1)
        .text("encoder", file.text(VELKOR_STREAM_ENCODER))
        .number("encoder_delay", f.encoder_delay, -1)
        .number("encoder_padding", f.encoder_padding, -1)
        .number("file_size", f.file_size)
        .number("first_frame_offset", figure(f.first_frame_offset))
        .number("audio_bytes", figure(f.audio_bytes))
        .text("stream_format", file.text(VELKOR_STREAM_FORMAT));
    const Frames frames(file);
    put_common(object, file, frames);
    if (f.id3v1 != 0) {
        put_id3v1(object.nested("id3v1"), file);
    } else {
        object.raw("id3v1", "null");
    }
    if (f.id3v2_version != 0) {
        put_id3v2(object.nested("id3v2"), file, frames);
    } else {
        object.raw("id3v2", "null");
    }
    put_tags(object.nested_raw("tags"), file);
    object.done();
    out += '\n';
}

}  // namespace velkor::cli
