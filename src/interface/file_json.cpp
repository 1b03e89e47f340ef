// velkor_file_json: a handle's facts as the JSON object of doc/json.md,
// written straight from what the handle keeps into its one buffer. A line
// is written for every file of a scan, so keys are constant bytes copied at
// once and no member is built as a string of its own.
#include <charconv>
#include <climits>

#include "base/json_text.h"
#include "frames/frame_table.h"
#include "interface/key_hooks.h"
#include "interface/velkor_file.h"

namespace {

using velkor::TextBuffer;

// Writes one object member by member, commas included. Absent values are
// null, whatever their type. Without keys (VELKOR_JSON_VALUES_ONLY) the
// object is the array of its values, in the same order.
class JsonObject {
public:
    explicit JsonObject(TextBuffer& out, bool keys = true) : out_(out), keys_(keys) {}

    // Keys are plain identifiers, nothing in them to escape; N counts the
    // name's zero byte.
    template <std::size_t N>
    JsonObject& raw(const char (&key)[N], std::string_view json) {
        char* at = out_.room(N + 3 + json.size());
        at = put_key(at, key);
        std::memcpy(at, json.data(), json.size());
        out_.grow_to(at + json.size());
        return *this;
    }
    // Constant members written at once, `,"name":value,...` as one text
    // (and `,value,...` without keys): the object must have members before
    // them.
    JsonObject& members(std::string_view json, std::string_view values) {
        out_ += keys_ ? json : values;
        return *this;
    }
    // A text; null when empty (no text of a tag is told apart from an
    // empty one).
    template <std::size_t N>
    JsonObject& text(const char (&key)[N], std::string_view text) {
        if (text.empty()) return raw(key, "null");
        this->key(key);
        velkor::append_json_string(out_, text);
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
    // true, false, or null when not known.
    template <std::size_t N>
    JsonObject& maybe(const char (&key)[N], bool value, bool known) {
        return raw(key, !known ? "null" : value ? "true" : "false");
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
        return JsonObject(out_, keys_);
    }
    // A member whose value is an array of texts.
    template <std::size_t N>
    JsonObject& texts(const char (&key)[N], const std::vector<std::string>& values) {
        this->key(key);
        out_ += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out_ += ',';
            velkor::append_json_string(out_, values[i]);
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
        return JsonObject(out_, keys_);
    }
    JsonObject& close_list() {
        out_ += ']';
        return *this;
    }
    void done() {
        if (keys_) {
            out_ += first_ ? std::string_view("{}") : std::string_view("}");
        } else {
            out_ += first_ ? std::string_view("[]") : std::string_view("]");
        }
    }

private:
    // `{"name":` or `,"name":` (`[` or `,` without keys), written at once.
    template <std::size_t N>
    void key(const char (&name)[N]) {
        out_.grow_to(put_key(out_.room(N + 3), name));
    }
    // The same at `at`, which has room for it; where it ends.
    template <std::size_t N>
    char* put_key(char* at, const char (&name)[N]) {
        if (!keys_) {
            *at++ = first_ ? '[' : ',';
            first_ = false;
            return at;
        }
        *at++ = first_ ? '{' : ',';
        *at++ = '"';
        std::memcpy(at, name, N - 1);
        at += N - 1;
        *at++ = '"';
        *at++ = ':';
        first_ = false;
        return at;
    }

    TextBuffer& out_;
    bool keys_;
    bool first_ = true;
    int elements_ = 0;
};

std::string_view text_of(const velkor_file& file, int32_t field) { return *file.text(field); }

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

// The number a text starts with ("7" of "7/12", " 7"), or -1 when it starts
// with no digit (blanks before it aside).
int64_t leading_number(std::string_view text) {
    int64_t number = -1;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (std::from_chars(text.data(), text.data() + text.size(), number).ec != std::errc()) return -1;
    return number;
}

// A number and its total as a tag stores them ("7/12", "7"); -1 for what
// is not there.
struct NumberOf {
    int64_t number = -1, total = -1;
};
NumberOf number_of(std::string_view text) {
    NumberOf result;
    const std::size_t slash = text.find('/');
    result.number = leading_number(text.substr(0, slash));
    if (slash != std::string_view::npos) result.total = leading_number(text.substr(slash + 1));
    return result;
}

// One ID3v2 frame as read: its record, its values, and the tag's text it
// gives (title, genre, ...).
struct ListedFrame {
    velkor_frame_info info;
    const velkor::Id3v2FrameValues* values;
    const velkor::Id3v2FrameRow* row;
};

// The frames of the tag, the first 4096, every one read; the status of
// the first that cannot be.
int32_t read_frames(const velkor_file& file, std::vector<ListedFrame>& frames) {
    const auto& entries = file.info.id3v2_tag.frames;
    const std::size_t count = std::min<std::size_t>(entries.size(), 4096);
    frames.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        ListedFrame& frame = frames[i];
        const int32_t status = file.frame_info(static_cast<int32_t>(i), frame.info, frame.values);
        if (status != VELKOR_OK) return status;
        frame.row = velkor::id3v2_frame_row(entries[i].id, file.info.id3v2_tag.version);
    }
    return VELKOR_OK;
}

std::string_view first(const std::vector<std::string>& values) {
    return values.empty() ? std::string_view() : std::string_view(values.front());
}

void put_frame(JsonObject object, const ListedFrame& frame) {
    const velkor_frame_info& info = frame.info;
    const velkor::Id3v2FrameValues& v = *frame.values;
    object.text("id", info.id)
        .text("id_v24", info.id_v24)
        .text("kind", velkor::id3v2_kind_name(v.kind))
        .text("name", frame.row != nullptr ? frame.row->name : "")
        .number("flags", info.flags)
        .boolean("encrypted", info.encrypted != 0)
        .boolean("compressed", info.compressed != 0)
        .number("size", info.body_size, -1)
        .texts("values", v.values);
    // Most frames (texts) have none of the fields after their values.
    if (v.description.empty() && v.language.empty() && v.owner.empty() && info.rating == -1 &&
        info.play_count == -1 && v.element_id.empty() && v.title.empty() && info.start_ms == -1 &&
        info.end_ms == -1 && v.children.empty() && info.toc_flags == -1) {
        object.members(",\"description\":null,\"language\":null,\"owner\":null,\"rating\":null,"
                       "\"play_count\":null,\"element_id\":null,\"title\":null,\"start_ms\":null,"
                       "\"end_ms\":null,\"children\":[],\"toc_flags\":null",
                       ",null,null,null,null,null,null,null,null,null,[],null")
            .boolean("truncated", info.truncated != 0)
            .done();
        return;
    }
    object.text("description", v.description)
        .text("language", v.language)
        .text("owner", v.owner)
        .number("rating", info.rating, -1)
        .number("play_count", info.play_count, -1)
        .text("element_id", v.element_id)
        .text("title", v.title)
        .number("start_ms", info.start_ms, -1)
        .number("end_ms", info.end_ms, -1)
        .texts("children", v.children)
        .number("toc_flags", info.toc_flags, -1)
        .boolean("truncated", info.truncated != 0)
        .done();
}

// A list of the frames of one kind as {language, description, text}: the
// first value as the text, or every value joined by "; ".
template <std::size_t N>
void put_texts(JsonObject& object, const char (&key)[N], const std::vector<ListedFrame>& frames, int32_t kind,
               bool joined, std::string& scratch) {
    object.list(key);
    for (const ListedFrame& frame : frames) {
        if (frame.info.kind != kind) continue;
        const velkor::Id3v2FrameValues& v = *frame.values;
        std::string_view text = first(v.values);
        if (joined && v.values.size() > 1) {
            scratch = v.values[0];
            for (std::size_t i = 1; i < v.values.size(); ++i) scratch.append("; ").append(v.values[i]);
            text = scratch;
        }
        object.element().text("language", v.language).text("description", v.description).text("text", text).done();
    }
    object.close_list();
}

// The values of the text frames that give the tag's text `field`, in tag
// order, empty ones left out (a genre's with their references resolved);
// null when there are none.
template <std::size_t N>
void put_values(JsonObject& object, const char (&key)[N], const std::vector<ListedFrame>& frames,
                velkor::Id3v2Field field) {
    TextBuffer& out = object.nested_raw(key);
    const std::size_t start = out.size();
    out += '[';
    bool any = false;
    for (const ListedFrame& frame : frames) {
        if (frame.info.kind != VELKOR_FRAME_TEXT || frame.row == nullptr || frame.row->field != field) continue;
        const velkor::Id3v2FrameValues& v = *frame.values;
        for (const std::string& value : field == velkor::Id3v2Field::kGenre ? v.genres : v.values) {
            if (value.empty()) continue;
            if (any) out += ',';
            any = true;
            velkor::append_json_string(out, value);
        }
    }
    if (any) {
        out += ']';
    } else {
        out.shrink_to(start);
        out += "null";
    }
}

void put_id3v1(JsonObject object, const velkor_file& file) {
    const velkor_file_facts& f = file.facts;
    object.text("version", f.id3v1 == 11 ? "1.1" : "1.0")
        .text("title", text_of(file, VELKOR_ID3V1_TITLE))
        .text("artist", text_of(file, VELKOR_ID3V1_ARTIST))
        .text("album", text_of(file, VELKOR_ID3V1_ALBUM))
        .text("year", text_of(file, VELKOR_ID3V1_YEAR))
        .text("comment", text_of(file, VELKOR_ID3V1_COMMENT))
        .number("track", f.id3v1_track, -1)
        .number("genre", f.id3v1_genre)
        .text("genre_name", text_of(file, VELKOR_ID3V1_GENRE))
        .done();
}

void put_id3v2(JsonObject object, const velkor_file& file, const std::vector<ListedFrame>& frames, bool joined,
               bool with_frames, std::string& scratch) {
    using velkor::Id3v2Field;
    const velkor_file_facts& f = file.facts;
    const char version[] = {'2', '.', static_cast<char>('0' + f.id3v2_version)};
    object.text("version", std::string_view(version, sizeof version));
    if (joined) {
        object.text("title", text_of(file, VELKOR_ID3V2_TITLE))
            .text("artist", text_of(file, VELKOR_ID3V2_ARTIST))
            .text("album", text_of(file, VELKOR_ID3V2_ALBUM))
            .text("album_artist", text_of(file, VELKOR_ID3V2_ALBUM_ARTIST))
            .text("composer", text_of(file, VELKOR_ID3V2_COMPOSER))
            .text("genre", text_of(file, VELKOR_ID3V2_GENRE));
    } else {
        put_values(object, "title", frames, Id3v2Field::kTitle);
        put_values(object, "artist", frames, Id3v2Field::kArtist);
        put_values(object, "album", frames, Id3v2Field::kAlbum);
        put_values(object, "album_artist", frames, Id3v2Field::kAlbumArtist);
        put_values(object, "composer", frames, Id3v2Field::kComposer);
        put_values(object, "genre", frames, Id3v2Field::kGenre);
    }
    const std::string_view track_text = text_of(file, VELKOR_ID3V2_TRACK);
    const std::string_view disc_text = text_of(file, VELKOR_ID3V2_DISC);
    const NumberOf track = number_of(track_text);
    const NumberOf disc = number_of(disc_text);
    object.text("year", text_of(file, VELKOR_ID3V2_YEAR)).text("date", text_of(file, VELKOR_ID3V2_DATE));
    if (joined) {
        object.text("track", track_text);
    } else {
        object.number("track", track.number, -1);
    }
    object.number("track_total", track.total, -1);
    if (joined) {
        object.text("disc", disc_text);
    } else {
        object.number("disc", disc.number, -1);
    }
    object.number("disc_total", disc.total, -1).text("comment", text_of(file, VELKOR_ID3V2_COMMENT));
    put_texts(object, "lyrics", frames, VELKOR_FRAME_LYRICS, false, scratch);
    object.list("pictures");
    for (const velkor::Id3v2Picture& picture : file.info.id3v2_tag.pictures) {
        object.element()
            .number("type", picture.type)
            .text("mime", picture.mime)
            .text("description", picture.description)
            .number("size", std::min<int64_t>(picture.bytes, INT32_MAX))
            .done();
    }
    object.close_list();
    if (with_frames) {
        object.list("frames");
        for (const ListedFrame& frame : frames) put_frame(object.element(), frame);
        object.close_list();
    }
    object.done();
}

// The common facts the tags give, after the stream's: Python's Facts
// names for them.
void put_common(JsonObject& object, const velkor_file& file, const std::vector<ListedFrame>& frames, bool joined,
                std::string& scratch) {
    const velkor_file_facts& f = file.facts;
    const velkor_tag_facts_info& t = file.tag_facts;
    object.nested("lame")
        .text("vbr_method", text_of(file, VELKOR_STREAM_LAME_METHOD))
        .text("preset", text_of(file, VELKOR_STREAM_LAME_PRESET))
        .number("preset_number", f.lame_preset, -1)
        .number("quality", f.lame_quality, -1)
        .number("lowpass_hz", f.lame_lowpass_hz, -1)
        .done();
    object.number("track", t.track, -1)
        .number("track_total", t.track_total, -1)
        .number("disc", t.disc, -1)
        .number("disc_total", t.disc_total, -1)
        .maybe("compilation", t.compilation != 0, t.compilation >= 0)
        .number("bpm", t.bpm, -1)
        .text("bpm_text", text_of(file, VELKOR_TAG_BPM))
        .number("rating", t.rating, -1)
        .number("play_count", t.play_count, -1)
        .text("date", text_of(file, VELKOR_ID3V2_DATE))
        .number("year", t.year, -1)
        .number("month", t.month, -1)
        .number("day", t.day, -1)
        .number("hour", t.hour, -1)
        .number("minute", t.minute, -1)
        .text("release_date", text_of(file, VELKOR_TAG_RELEASE_DATE))
        .number("release_year", t.release_year, -1)
        .text("original_date", text_of(file, VELKOR_TAG_ORIGINAL_DATE))
        .number("original_year", t.original_year, -1);
    object.nested("replaygain")
        .real("track_gain_db", t.track_gain_db, (t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_GAIN) != 0)
        .real("track_peak", t.track_peak, (t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_PEAK) != 0)
        .real("album_gain_db", t.album_gain_db, (t.replaygain_known & VELKOR_REPLAYGAIN_ALBUM_GAIN) != 0)
        .real("album_peak", t.album_peak, (t.replaygain_known & VELKOR_REPLAYGAIN_ALBUM_PEAK) != 0)
        .done();
    object.text("lyrics", text_of(file, VELKOR_TAG_LYRICS))
        .text("grouping", text_of(file, VELKOR_TAG_GROUPING))
        .text("key", text_of(file, VELKOR_TAG_KEY))
        .text("artist_sort", text_of(file, VELKOR_TAG_ARTIST_SORT))
        .text("album_sort", text_of(file, VELKOR_TAG_ALBUM_SORT))
        .text("title_sort", text_of(file, VELKOR_TAG_TITLE_SORT))
        .text("album_artist_sort", text_of(file, VELKOR_TAG_ALBUM_ARTIST_SORT));
    // A map of the ids the tags give, by their short names: only those given.
    static constexpr std::pair<std::string_view, int32_t> kIds[] = {
        {"\"track_id\":", VELKOR_TAG_MUSICBRAINZ_TRACK_ID},
        {"\"album_id\":", VELKOR_TAG_MUSICBRAINZ_ALBUM_ID},
        {"\"artist_id\":", VELKOR_TAG_MUSICBRAINZ_ARTIST_ID},
        {"\"album_artist_id\":", VELKOR_TAG_MUSICBRAINZ_ALBUM_ARTIST_ID},
        {"\"release_group_id\":", VELKOR_TAG_MUSICBRAINZ_RELEASE_GROUP_ID},
        {"\"release_track_id\":", VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID}};
    TextBuffer& out = object.nested_raw("musicbrainz");
    out += '{';
    bool first_id = true;
    for (const auto& [name, field] : kIds) {
        const std::string_view id = text_of(file, field);
        if (id.empty()) continue;
        if (!first_id) out += ',';
        first_id = false;
        out += name;
        velkor::append_json_string(out, id);
    }
    out += '}';
    // Every comment frame, its first value as the text (the others are the
    // frame's values).
    put_texts(object, "comments", frames, VELKOR_FRAME_COMMENT, joined, scratch);
    object.list("ape_items");
    static constexpr const char* kKinds[] = {"text", "binary", "locator", "reserved"};
    for (const velkor::Apev2Item& item : file.info.apev2_tag.items) {
        const auto kind = static_cast<std::size_t>(item.kind);
        object.element()
            .text("key", std::string_view(item.key).substr(0, 255))
            .text("kind", kind < 4 ? kKinds[kind] : "reserved")
            .texts("values", item.values)
            .number("size", item.value_size)
            .boolean("read_only", item.read_only)
            .boolean("truncated", item.cut)
            .done();
    }
    object.close_list();
}

// The merged view: every key the file has, to the array of its values.
void put_tags(TextBuffer& out, const velkor_file* file) {
    out += '{';
    const auto put = [](void* context, const char* key, const std::string_view* values, std::size_t count) {
        TextBuffer& to = *static_cast<TextBuffer*>(context);
        if (to.view().back() != '{') to += ',';
        velkor::append_json_string(to, key);
        to += ":[";
        for (std::size_t v = 0; v < count; ++v) {
            if (v > 0) to += ',';
            // As velkor_tag_value gives it: up to a zero byte (a UFID's may hold one).
            velkor::append_json_string(to, values[v].data());
        }
        to += ']';
    };
    // A view that cannot be made is no memory, not a file without tags.
    if (!velkor::visit_tags(file, put, &out)) throw std::bad_alloc();
    out += '}';
}

// The whole object into the handle's buffer; a frame's status when one
// cannot be read.
int32_t write_json(velkor_file& file, std::string_view path, uint32_t options) {
    std::vector<ListedFrame> frames;
    const int32_t read = read_frames(file, frames);
    if (read != VELKOR_OK) return read;
    TextBuffer& out = file.json;
    out.clear();
    // About what a file's object takes, its frames at some 600 bytes each:
    // written without growing the buffer on the way.
    out.reserve(4096 + 640 * frames.size());
    const bool joined = (options & VELKOR_JSON_JOINED_TEXTS) != 0;
    const bool with_frames = (options & VELKOR_JSON_FRAMES_APART) == 0;
    const bool keys = (options & VELKOR_JSON_VALUES_ONLY) == 0;
    std::string scratch;
    const velkor_file_facts& f = file.facts;
    // A handle without audio has no stream: its truncated figure is -1.
    const bool audio = f.truncated >= 0;
    const auto figure = [audio](int64_t value) { return audio ? value : INT64_MIN; };
    JsonObject object(out, keys);
    object.raw("json_version", "\"" VELKOR_JSON_VERSION "\"").raw("velkor", "\"" VELKOR_VERSION "\"");
    velkor::append_json_name(object.nested_raw("path"), path);
    if (!velkor::valid_utf8(path)) {
        velkor::append_json_base64(object.nested_raw("path_bytes"), path);
    } else if (!keys) {
        object.raw("path_bytes", "null");  // every value has its place
    }
    object.raw("status", audio ? "\"ok\"" : "\"no_audio\"")
        .text("error", audio ? std::string_view() : std::string_view(velkor_status_text(VELKOR_ERROR_NO_AUDIO)))
        .boolean("has_audio", audio)
        .text("version", text_of(file, VELKOR_STREAM_VERSION))
        .raw("mpeg_version", audio ? mpeg_version_number(f.mpeg_version) : "null")
        .number("layer", figure(f.layer))
        .number("sampling_rate_hz", figure(f.sampling_rate_hz))
        .raw("channel_mode", audio ? channel_mode_name(f.channel_mode) : "null")
        .number("channels", figure(f.channels))
        .number("bitrate_kbps", figure(f.bitrate_kbps))
        .maybe("bitrate_varies", f.bitrate_varies != 0, audio)
        .raw("vbr_header", audio ? vbr_header_name(f.vbr_header) : "null")
        .number("frames", figure(f.frames))
        .maybe("frames_exact", f.frames_exact != 0, audio)
        .maybe("truncated", f.truncated == 1, audio)
        .number("duration_ms", figure(f.duration_ms))
        .number("gapless_duration_ms", f.gapless_duration_ms, -1)
        .number("samples", figure(f.samples))
        .number("gapless_samples", f.gapless_samples, -1)
        .text("encoder", text_of(file, VELKOR_STREAM_ENCODER))
        .number("encoder_delay", f.encoder_delay, -1)
        .number("encoder_padding", f.encoder_padding, -1)
        .number("file_size", f.file_size)
        .number("first_frame_offset", figure(f.first_frame_offset))
        .number("audio_bytes", figure(f.audio_bytes))
        .text("stream_format", text_of(file, VELKOR_STREAM_FORMAT));
    put_common(object, file, frames, joined, scratch);
    if (f.id3v1 != 0) {
        put_id3v1(object.nested("id3v1"), file);
    } else {
        object.raw("id3v1", "null");
    }
    if (f.id3v2_version != 0) {
        put_id3v2(object.nested("id3v2"), file, frames, joined, with_frames, scratch);
    } else {
        object.raw("id3v2", "null");
    }
    put_tags(object.nested_raw("tags"), &file);
    object.done();
    if (!with_frames) {
        out += "\n[";
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (i > 0) out += ',';
            put_frame(JsonObject(out, keys), frames[i]);
        }
        out += ']';
    }
    // The zero byte the text is handed out with, not counted in its size.
    *out.room(1) = '\0';
    return VELKOR_OK;
}

}  // namespace

extern "C" VELKOR_API int32_t VELKOR_CALL velkor_file_json(velkor_file* file, const char* path, uint32_t options,
                                                           const char** text, std::size_t* size) {
    if (text != nullptr) *text = nullptr;
    if (size != nullptr) *size = 0;
    constexpr uint32_t kKnown = VELKOR_JSON_JOINED_TEXTS | VELKOR_JSON_FRAMES_APART | VELKOR_JSON_VALUES_ONLY;
    if (file == nullptr || text == nullptr || size == nullptr || (options & ~kKnown) != 0) {
        return VELKOR_ERROR_ARGUMENT;
    }
    const std::string_view name = path != nullptr ? std::string_view(path) : std::string_view(file->info.path);
    const bool own_path = name == file->info.path;
    if (!(own_path && file->json_kept && file->json_options == options)) {
        file->json_kept = false;
        const int32_t status = velkor::guarded(VELKOR_ERROR_READ, [&] {
            return write_json(*file, name, options);
        });
        if (status != VELKOR_OK) {
            file->json.clear();
            return status;
        }
        file->json_kept = own_path;
        file->json_options = options;
    }
    *text = file->json.view().data();
    *size = file->json.size();
    return VELKOR_OK;
}

extern "C" VELKOR_API int32_t VELKOR_CALL velkor_failure_json(const char* path, const char* status, const char* error,
                                                              const char* stream_format, char* buffer,
                                                              std::size_t size, std::size_t* length) {
    if (length != nullptr) *length = 0;
    if (path == nullptr || status == nullptr || length == nullptr || (buffer == nullptr && size > 0)) {
        return VELKOR_ERROR_ARGUMENT;
    }
    return velkor::guarded(VELKOR_ERROR_NO_MEMORY, [&] {
        TextBuffer out;
        JsonObject object(out);
        object.raw("json_version", "\"" VELKOR_JSON_VERSION "\"").raw("velkor", "\"" VELKOR_VERSION "\"");
        velkor::append_json_name(object.nested_raw("path"), path);
        if (!velkor::valid_utf8(path)) velkor::append_json_base64(object.nested_raw("path_bytes"), path);
        velkor::append_json_string(object.nested_raw("status"), status);
        object.text("error", error != nullptr ? std::string_view(error) : std::string_view());
        if (stream_format != nullptr && *stream_format != '\0') object.text("stream_format", stream_format);
        object.done();
        *length = out.size();
        if (out.size() >= size) return VELKOR_ERROR_ARGUMENT;
        std::memcpy(buffer, out.view().data(), out.size());
        buffer[out.size()] = '\0';
        return VELKOR_OK;
    });
}
