// Gathering one file's facts through Mp3FileInfo.
#include "file_facts.h"

namespace velkor::cli {

const char* status_problem(int32_t status) {
    switch (status) {
        case kStatusOpenFailed: return "the file cannot be opened";
        case kStatusNoFrame: return "no valid MPEG audio frame header";
        default: return "the file could not be analysed";
    }
}

void FileAnalyser::analyse(const std::string& path, FileFacts& facts) {
    facts.path = path;
    // A fresh object's state for every file; assigning it keeps the
    // path's room.
    Mp3FileInfo& info = info_;
    info = Mp3FileInfo();
    facts.status = info.load(path.c_str());
    if (facts.status != kStatusOk) return;

    info.version_text(facts.version);
    info.mode_text(facts.mode);
    info.length_text(facts.length);
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
        info.tag_title(v1.title);
        info.tag_artist(v1.artist);
        info.tag_album(v1.album);
        info.tag_comment(v1.comment);
        v1.year = info.tag_year();
        v1.track = info.tag_track();
        v1.v11 = v1.track >= 0;
        v1.genre = info.tag.genre;
        info.tag_genre_name(v1.genre_name);
    }

    Id3v2Facts& v2 = facts.id3v2;
    v2.present = info.has_id3v2 != 0;
    if (v2.present) {
        info.tag_v2_title(v2.title);
        info.tag_v2_artist(v2.artist);
        info.tag_v2_album(v2.album);
        info.tag_v2_comment(v2.comment);
        // The object has no queries for these: their fields are copied as
        // they stand (text() never reads past a field).
        std::memcpy(v2.genre, info.tag.v2_genre, sizeof v2.genre);
        std::memcpy(v2.track, info.tag.v2_track, sizeof v2.track);
        std::memcpy(v2.year, info.tag.v2_year, sizeof v2.year);
        v2.genre_index = info.tag_v2_genre_index();
    }
}

}  // namespace velkor::cli
