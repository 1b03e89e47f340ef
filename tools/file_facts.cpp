// Gathering one file's facts through Mp3FileInfo.
#include "file_facts.h"

#include "stream/mp3_file_info.h"

namespace velkor::cli {

namespace {

template <typename Query>
std::string text_of(const Mp3FileInfo& info, Query query) {
    Mp3FileInfo::Text out = {};
    (info.*query)(out);
    out[sizeof out - 1] = '\0';
    return out;
}

// Texts the object has no query for are read from their fixed fields.
std::string field_text(const TagRecord::Text& field) {
    std::size_t n = 0;
    while (n < sizeof field && field[n]) ++n;
    return std::string(field, n);
}

}  // namespace

const char* status_problem(int32_t status) {
    switch (status) {
        case kStatusOpenFailed: return "the file cannot be opened";
        case kStatusNoFrame: return "no valid MPEG audio frame header";
        default: return "the file could not be analysed";
    }
}

FileFacts analyse_file(const std::string& path) {
    FileFacts facts;
    facts.path = path;
    Mp3FileInfo info;
    facts.status = info.load(path.c_str());
    if (facts.status != kStatusOk) return facts;

    char version[FrameHeader::kVersionTextSize] = {};
    char mode[FrameHeader::kModeNameSize] = {};
    char length[Mp3FileInfo::kLengthTextSize] = {};
    info.version_text(version);
    info.mode_text(mode);
    info.length_text(length);
    facts.version = version;
    facts.mode = mode;
    facts.length = length;
    facts.mpeg_version = info.header.version_number();
    facts.layer = info.header.layer_number();
    facts.bitrate_kbps = info.bitrate_kbps();
    facts.vbr = info.is_vbr != 0;
    facts.sampling_rate_hz = info.frequency_hz();
    facts.length_seconds = info.length_seconds();
    facts.file_size = info.file_size();
    facts.first_frame_offset = info.header_pos - 1;
    facts.frames = info.frame_count();
    facts.track = info.tag_track();

    Id3v1Facts& v1 = facts.id3v1;
    v1.present = info.has_id3v1 != 0;
    if (v1.present) {
        v1.title = text_of(info, &Mp3FileInfo::tag_title);
        v1.artist = text_of(info, &Mp3FileInfo::tag_artist);
        v1.album = text_of(info, &Mp3FileInfo::tag_album);
        v1.comment = text_of(info, &Mp3FileInfo::tag_comment);
        v1.year = info.tag_year();
        v1.track = info.tag_track();
        v1.v11 = v1.track >= 0;
        v1.genre = info.tag.genre;
        char genre[TagRecord::kGenreNameSize] = {};
        info.tag_genre_name(genre);
        v1.genre_name = genre;
    }

    Id3v2Facts& v2 = facts.id3v2;
    v2.present = info.has_id3v2 != 0;
    if (v2.present) {
        v2.title = text_of(info, &Mp3FileInfo::tag_v2_title);
        v2.artist = text_of(info, &Mp3FileInfo::tag_v2_artist);
        v2.album = text_of(info, &Mp3FileInfo::tag_v2_album);
        v2.comment = text_of(info, &Mp3FileInfo::tag_v2_comment);
        v2.genre = field_text(info.tag.v2_genre);
        v2.track = field_text(info.tag.v2_track);
        v2.year = field_text(info.tag.v2_year);
        v2.genre_index = info.tag_v2_genre_index();
    }
    return facts;
}

}  // namespace velkor::cli
