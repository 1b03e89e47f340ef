// The library's handle and the readings of its facts.
#include "file_facts.h"

#include <charconv>
#include <cstdint>
#include <iterator>

namespace velkor::cli {

int32_t AnalysedFile::open(const char* path, uint32_t options) {
    velkor_close(file_);
    file_ = nullptr;
    facts_ = velkor_file_facts{};
    facts_.size = sizeof facts_;
    const int32_t status = velkor_open(path, options, &file_);
    if (status != VELKOR_OK) return status;
    tags_ = velkor_tag_facts_info{};
    tags_.size = sizeof tags_;
    velkor_tag_facts(file_, &tags_);
    return velkor_facts(file_, &facts_);
}

void AnalysedFile::adopt(velkor_file* file, bool has_audio) {
    velkor_close(file_);
    file_ = file;
    has_audio_ = has_audio;
    facts_ = velkor_file_facts{};
    facts_.size = sizeof facts_;
    velkor_facts(file_, &facts_);
    tags_ = velkor_tag_facts_info{};
    tags_.size = sizeof tags_;
    velkor_tag_facts(file_, &tags_);
}

bool AnalysedFile::ape_item(int32_t index, velkor_ape_item_info& info) const {
    info = velkor_ape_item_info{};
    info.size = sizeof info;
    return velkor_ape_item(file_, index, &info) == VELKOR_OK;
}

velkor_picture_info AnalysedFile::picture(int32_t index) const {
    velkor_picture_info picture{};
    picture.size = sizeof picture;
    if (velkor_picture(file_, index, &picture) != VELKOR_OK) picture.bytes = 0;
    return picture;
}

bool AnalysedFile::frame(int32_t index, velkor_frame_info& info) const {
    info = velkor_frame_info{};
    info.size = sizeof info;
    return velkor_frame(file_, index, &info) == VELKOR_OK;
}

int32_t AnalysedFile::read_frames() const {
    velkor_frame_info info;
    for (int32_t index = 0, count = frame_count(); index < count; ++index) {
        info = velkor_frame_info{};
        info.size = sizeof info;
        const int32_t status = velkor_frame(file_, index, &info);
        if (status != VELKOR_OK) return status;
    }
    return VELKOR_OK;
}

bool vbr_average(const velkor_file_facts& facts) {
    return (facts.vbr_header == VELKOR_VBR_XING || facts.vbr_header == VELKOR_VBR_VBRI) &&
           (facts.frames_exact == 1 || facts.truncated == 1);
}

std::string not_mpeg_audio(const char* path, std::string* format_name) {
    velkor_file* file = nullptr;
    velkor_open(path, VELKOR_OPEN_WITHOUT_AUDIO, &file);
    std::string format;
    velkor_file_facts facts{};
    facts.size = sizeof facts;
    facts.file_size = -1;
    if (file != nullptr) {
        format = velkor_text(file, VELKOR_STREAM_FORMAT);
        velkor_facts(file, &facts);
        velkor_close(file);
    }
    if (format_name) *format_name = format;
    if (!format.empty()) {
        // "an Ogg", "an MP4", "a FLAC": the sound of the name's start.
        const bool vowel = std::string("AEIOU").find(format[0]) != std::string::npos || format.rfind("MP", 0) == 0;
        return (vowel ? "an " : "a ") + format + " file, not MPEG audio";
    }
    if (facts.file_size == 0) return "an empty file, not MPEG audio";
    return velkor_status_text(VELKOR_ERROR_NO_AUDIO);
}

int64_t leading_number(std::string_view text, int64_t none) {
    int64_t number = none;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    const char* const end = text.data() + text.size();
    if (std::from_chars(text.data(), end, number).ec != std::errc()) return none;
    return number;
}

int32_t combined_track(const AnalysedFile& file) {
    const velkor_file_facts& facts = file.facts();
    if (facts.id3v1 == 11) return facts.id3v1_track;
    if (facts.id3v1 == 10) return -1;
    const int64_t track = leading_number(file.text(VELKOR_ID3V2_TRACK), -1);
    return track >= 0 && track <= INT32_MAX ? static_cast<int32_t>(track) : -1;
}

const char* picture_type_name(int32_t type) {
    static constexpr const char* kNames[] = {
        "other", "file icon", "other file icon", "front cover", "back cover", "leaflet page",
        "media", "lead artist", "artist", "conductor", "band", "composer", "lyricist",
        "recording location", "during recording", "during performance", "video screen capture",
        "bright coloured fish", "illustration", "band logo", "publisher logo"};
    return type >= 0 && type < static_cast<int32_t>(std::size(kNames)) ? kNames[type] : "other";
}

}  // namespace velkor::cli
