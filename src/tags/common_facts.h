// The facts every tagger writes in its own way, as one set of numbers and
// texts: track and disc numbers, dates, rating, ReplayGain, sort names,
// MusicBrainz ids. Derived once from what the readers already parsed: the
// decoded ID3v2 frames, the APEv2 items, the ID3v1 tag and the encoder's
// ReplayGain fields. No bytes are read here.
#pragma once

#include <cstdint>
#include <string>

#include "tags/apev2_tag.h"
#include "tags/id3v2_tag.h"

namespace velkor {

// The ReplayGain fields of the encoder's tag behind the first frame.
struct EncoderGains {
    static constexpr uint32_t kTrackGain = 1, kTrackPeak = 2, kAlbumGain = 4;
    uint32_t known = 0;
    double track_gain_db = 0, peak = 0, album_gain_db = 0;
};

struct CommonFacts {
    enum Text {
        kReleaseDate, kOriginalDate, kLyrics, kGrouping, kKey, kBpm, kArtistSort, kAlbumSort, kTitleSort,
        kAlbumArtistSort, kMusicBrainzTrack, kMusicBrainzAlbum, kMusicBrainzArtist, kMusicBrainzAlbumArtist,
        kMusicBrainzReleaseGroup, kMusicBrainzReleaseTrack, kTextCount
    };
    static constexpr uint32_t kTrackGain = 1, kTrackPeak = 2, kAlbumGain = 4, kAlbumPeak = 8;

    int32_t track = -1, track_total = -1, disc = -1, disc_total = -1;
    int32_t compilation = -1;  // 1, 0, or -1 unknown
    int32_t bpm = -1, rating = -1;
    int32_t year = -1, month = -1, day = -1, hour = -1, minute = -1;
    int32_t release_year = -1, original_year = -1;
    int64_t play_count = -1;
    uint32_t replaygain_known = 0;  // k...Gain, k...Peak
    double track_gain_db = 0, track_peak = 0, album_gain_db = 0, album_peak = 0;
    std::string texts[kTextCount];
};

// What the facts come from. The ID3v2 tag's own texts (track, disc, date)
// must still be in it; id3v1_track and id3v1_year are -1 / 0 without one.
struct CommonSources {
    const Id3v2Tag* id3v2 = nullptr;
    const Apev2Tag* apev2 = nullptr;
    EncoderGains encoder;
    int32_t id3v1_track = -1;
    int32_t id3v1_year = 0;
};

CommonFacts derive_common_facts(const CommonSources& sources);

// The leading number of a text ("07/10" -> 7), skipping blanks; -1 when it
// does not start with a digit. Saturates at INT32_MAX.
int32_t leading_number(const std::string& text, std::size_t& end);

// A decimal number ("-6.50 dB", "+1.2", "0.476914") as far as it goes,
// whatever the locale; false when the text starts with no number.
bool leading_decimal(const std::string& text, double& value);

}  // namespace velkor
