// Deriving the common facts: each from the first source that gives it, in
// the order ID3v2, APEv2, then the ID3v1 tag or the encoder's tag.
#include "tags/common_facts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "frames/frame_codec.h"

namespace velkor {

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A frame id as one number, for comparisons in one step.
uint32_t id_number(const char* id) { return id3v2_id_number(id, 4); }

// The decoded frames the facts read, with their 2.3/2.4 ids, looked up once.
class Frames {
public:
    explicit Frames(const Id3v2Tag* tag) {
        if (tag == nullptr) return;
        std::size_t common = 0;
        for (const Id3v2DecodedFrame& decoded : tag->decoded) common += decoded.common ? 1 : 0;
        if (common == 0) return;
        frames_.reserve(common);
        for (const Id3v2DecodedFrame& decoded : tag->decoded) {
            if (!decoded.common || decoded.index >= tag->frames.size()) continue;
            const char* id = tag->frames[decoded.index].id;
            frames_.push_back({id_number(tag->version == 2 ? id3v2_v24_id(id) : id), &decoded.values});
        }
    }

    template <typename Visit>
    void each(const char* id, Visit visit) const {
        if (frames_.empty()) return;  // the usual tag: no frame decoded, no id to number
        const uint32_t wanted = id_number(id);
        for (const Frame& frame : frames_) {
            if (frame.id == wanted && !visit(*frame.values)) return;
        }
    }

    // The first frame with the id (and, for TXXX, the description).
    const Id3v2FrameValues* first(const char* id, std::string_view description = {}) const {
        const Id3v2FrameValues* found = nullptr;
        each(id, [&](const Id3v2FrameValues& values) {
            if (!description.empty() && !same_ignoring_case(values.description, description)) return true;
            found = &values;
            return false;
        });
        return found;
    }

    // The values of the first such frame, joined by "; "; "" when none.
    std::string text(const char* id, std::string_view description = {}) const {
        const Id3v2FrameValues* values = first(id, description);
        std::string joined;
        if (values == nullptr) return joined;
        for (const std::string& value : values->values) {
            if (!joined.empty()) joined += "; ";
            joined += value;
        }
        return joined;
    }

private:
    struct Frame {
        uint32_t id;
        const Id3v2FrameValues* values;
    };
    std::vector<Frame> frames_;
};

// The first value of the APEv2 item with the key (case ignored); "".
std::string ape_text(const Apev2Tag* tag, std::string_view key) {
    if (tag == nullptr || tag->items.empty()) return {};
    const Apev2Item* item = tag->find(key);
    if (item == nullptr || item->kind != Apev2Item::Kind::kText || item->values.empty()) return {};
    return item->values.front();
}

// "3/12": the number and the total behind the slash.
void number_and_total(const std::string& text, int32_t& number, int32_t& total) {
    std::size_t end = 0;
    number = leading_number(text, end);
    total = -1;
    if (number >= 0 && end < text.size() && text[end] == '/') {
        std::size_t total_end = 0;
        total = leading_number(text.substr(end + 1), total_end);
    }
}

// The digits of text[at, at + count), or -1.
int32_t digits_at(const std::string& text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    int32_t value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

struct DateParts {
    int32_t year = -1, month = -1, day = -1, hour = -1, minute = -1;
};

// ISO 8601 as ID3v2.4 stores it: yyyy[-MM[-dd[THH[:mm[:ss]]]]], each part
// only where the ones before it are there.
DateParts date_parts(const std::string& text) {
    DateParts parts;
    parts.year = digits_at(text, 0, 4);
    if (parts.year < 0 || (text.size() > 4 && text[4] != '-')) return parts;
    parts.month = digits_at(text, 5, 2);
    if (parts.month < 0 || (text.size() > 7 && text[7] != '-')) return parts;
    parts.day = digits_at(text, 8, 2);
    if (parts.day < 0 || (text.size() > 10 && text[10] != 'T' && text[10] != ' ')) return parts;
    parts.hour = digits_at(text, 11, 2);
    if (parts.hour < 0 || (text.size() > 13 && text[13] != ':')) return parts;
    parts.minute = digits_at(text, 14, 2);
    return parts;
}

int32_t year_of(const std::string& text) { return digits_at(text, 0, 4); }

int32_t rounded(double value) {
    if (!(value >= 0) || value > std::numeric_limits<int32_t>::max()) return -1;
    return static_cast<int32_t>(std::lround(value));
}

// One ReplayGain figure from the sources in their order.
struct GainSource {
    uint32_t bit;
    const char* name;  // the TXXX description and APEv2 key
    bool album;        // RVA2 "album" (else "track")
    bool peak;
    uint32_t encoder_bit;
    double EncoderGains::*encoder_field;
    double CommonFacts::*field;
};

const GainSource kGains[] = {
    {CommonFacts::kTrackGain, "REPLAYGAIN_TRACK_GAIN", false, false, EncoderGains::kTrackGain,
     &EncoderGains::track_gain_db, &CommonFacts::track_gain_db},
    {CommonFacts::kTrackPeak, "REPLAYGAIN_TRACK_PEAK", false, true, EncoderGains::kTrackPeak, &EncoderGains::peak,
     &CommonFacts::track_peak},
    {CommonFacts::kAlbumGain, "REPLAYGAIN_ALBUM_GAIN", true, false, EncoderGains::kAlbumGain,
     &EncoderGains::album_gain_db, &CommonFacts::album_gain_db},
    {CommonFacts::kAlbumPeak, "REPLAYGAIN_ALBUM_PEAK", true, true, 0, nullptr, &CommonFacts::album_peak},
};

void derive_replaygain(const Frames& frames, const CommonSources& sources, CommonFacts& facts) {
    for (const GainSource& gain : kGains) {
        double value = 0;
        bool found = false;
        if (const Id3v2FrameValues* txxx = frames.first("TXXX", gain.name)) {
            found = !txxx->values.empty() && leading_decimal(txxx->values.front(), value);
        }
        if (!found) {
            frames.each("RVA2", [&](const Id3v2FrameValues& values) {
                if (!same_ignoring_case(values.owner, gain.album ? "album" : "track")) return true;
                if (gain.peak ? !values.has_peak : !values.has_volume) return true;
                value = gain.peak ? values.volume_peak : values.volume_db;
                found = true;
                return false;
            });
        }
        if (!found) found = leading_decimal(ape_text(sources.apev2, gain.name), value);
        if (!found && gain.encoder_field != nullptr && (sources.encoder.known & gain.encoder_bit)) {
            value = sources.encoder.*gain.encoder_field;
            found = true;
        }
        if (found && std::isfinite(value)) {
            facts.*gain.field = value;
            facts.replaygain_known |= gain.bit;
        }
    }
}

struct TextSource {
    CommonFacts::Text text;
    const char* id;           // the frame; "TXXX" with a description
    const char* description;  // or nullptr
    const char* ape_key;
};

const TextSource kTexts[] = {
    {CommonFacts::kReleaseDate, "TDRL", nullptr, nullptr},
    {CommonFacts::kGrouping, "TIT1", nullptr, "Grouping"},
    {CommonFacts::kKey, "TKEY", nullptr, "Key"},
    {CommonFacts::kBpm, "TBPM", nullptr, "BPM"},
    {CommonFacts::kArtistSort, "TSOP", nullptr, "ArtistSort"},
    {CommonFacts::kAlbumSort, "TSOA", nullptr, "AlbumSort"},
    {CommonFacts::kTitleSort, "TSOT", nullptr, "TitleSort"},
    {CommonFacts::kAlbumArtistSort, "TSO2", nullptr, "AlbumArtistSort"},
    {CommonFacts::kMusicBrainzAlbum, "TXXX", "MusicBrainz Album Id", "MUSICBRAINZ_ALBUMID"},
    {CommonFacts::kMusicBrainzArtist, "TXXX", "MusicBrainz Artist Id", "MUSICBRAINZ_ARTISTID"},
    {CommonFacts::kMusicBrainzAlbumArtist, "TXXX", "MusicBrainz Album Artist Id", "MUSICBRAINZ_ALBUMARTISTID"},
    {CommonFacts::kMusicBrainzReleaseGroup, "TXXX", "MusicBrainz Release Group Id", "MUSICBRAINZ_RELEASEGROUPID"},
    {CommonFacts::kMusicBrainzReleaseTrack, "TXXX", "MusicBrainz Release Track Id", "MUSICBRAINZ_RELEASETRACKID"},
};

void derive_texts(const Frames& frames, const CommonSources& sources, CommonFacts& facts) {
    for (const TextSource& source : kTexts) {
        std::string& text = facts.texts[source.text];
        text = frames.text(source.id, source.description ? source.description : std::string_view());
        if (text.empty() && source.ape_key) text = ape_text(sources.apev2, source.ape_key);
    }
    std::string& grouping = facts.texts[CommonFacts::kGrouping];
    if (grouping.empty()) grouping = frames.text("GRP1");

    std::string& original = facts.texts[CommonFacts::kOriginalDate];
    original = frames.text("TDOR");
    if (original.empty()) original = frames.text("TORY");
    if (original.empty()) original = ape_text(sources.apev2, "ORIGINALDATE");
    if (original.empty()) original = ape_text(sources.apev2, "ORIGINALYEAR");

    std::string& lyrics = facts.texts[CommonFacts::kLyrics];
    if (const Id3v2FrameValues* uslt = frames.first("USLT")) {
        if (!uslt->values.empty()) lyrics = uslt->values.front();
    }
    if (lyrics.empty()) lyrics = ape_text(sources.apev2, "Lyrics");

    std::string& track_id = facts.texts[CommonFacts::kMusicBrainzTrack];
    frames.each("UFID", [&](const Id3v2FrameValues& values) {
        if (values.owner != "http://musicbrainz.org" || values.values.empty()) return true;
        // The identifier is bytes; MusicBrainz writes its id's ASCII text
        // there, and anything else is no id of its.
        const std::string& id = values.values.front();
        if (!std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F; })) return true;
        track_id = id;
        return false;
    });
    if (track_id.empty()) track_id = ape_text(sources.apev2, "MUSICBRAINZ_TRACKID");
}

}  // namespace

int32_t leading_number(const std::string& text, std::size_t& end) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') {
        end = i;
        return -1;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), std::numeric_limits<int32_t>::max());
    }
    end = i;
    return static_cast<int32_t>(value);
}

bool leading_decimal(const std::string& text, double& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++] == '-' ? -1 : 1;
    // The digits as one whole number and a power of ten, so that "-8.37"
    // is the double nearest -8.37.
    double whole = 0, scale = 1;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = whole * 10 + (text[i] - '0');
        digits = true;
    }
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        // Digits past the 17th change nothing a double holds.
        for (int kept = 0; ++i < text.size() && text[i] >= '0' && text[i] <= '9';) {
            if (kept++ >= 17) continue;
            whole = whole * 10 + (text[i] - '0');
            scale *= 10;
            digits = true;
        }
    }
    const double number = whole / scale;
    if (!digits || !std::isfinite(number)) return false;
    value = sign * number;
    return true;
}

CommonFacts derive_common_facts(const CommonSources& sources) {
    CommonFacts facts;
    const Frames frames(sources.id3v2);
    static const Id3v2Tag kNoTag;
    const Id3v2Tag& v2 = sources.id3v2 ? *sources.id3v2 : kNoTag;

    number_and_total(v2.track, facts.track, facts.track_total);
    if (facts.track < 0) number_and_total(ape_text(sources.apev2, "Track"), facts.track, facts.track_total);
    if (facts.track < 0 && sources.id3v1_track > 0) facts.track = sources.id3v1_track;
    number_and_total(v2.disc, facts.disc, facts.disc_total);
    if (facts.disc < 0) number_and_total(ape_text(sources.apev2, "Disc"), facts.disc, facts.disc_total);

    std::string compilation = frames.text("TCMP");
    if (compilation.empty()) compilation = ape_text(sources.apev2, "Compilation");
    std::size_t end = 0;
    const int32_t flag = leading_number(compilation, end);
    facts.compilation = flag < 0 ? -1 : flag > 0 ? 1 : 0;

    derive_texts(frames, sources, facts);
    double bpm = 0;
    if (leading_decimal(facts.texts[CommonFacts::kBpm], bpm)) facts.bpm = rounded(bpm);

    if (const Id3v2FrameValues* popm = frames.first("POPM")) {
        facts.rating = popm->rating;
        facts.play_count = popm->play_count;
    }
    if (facts.play_count < 0) {
        if (const Id3v2FrameValues* pcnt = frames.first("PCNT")) facts.play_count = pcnt->play_count;
    }

    DateParts parts = date_parts(year_of(v2.date) < 0 ? ape_text(sources.apev2, "Year") : v2.date);
    if (parts.year < 0 && sources.id3v1_year > 0) parts.year = sources.id3v1_year;
    facts.year = parts.year;
    facts.month = parts.month;
    facts.day = parts.day;
    facts.hour = parts.hour;
    facts.minute = parts.minute;
    facts.release_year = year_of(facts.texts[CommonFacts::kReleaseDate]);
    facts.original_year = year_of(facts.texts[CommonFacts::kOriginalDate]);

    derive_replaygain(frames, sources, facts);
    return facts;
}

}  // namespace velkor
