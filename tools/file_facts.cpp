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
    return velkor_facts(file_, &facts_);
}

void AnalysedFile::adopt(velkor_file* file) {
    velkor_close(file_);
    file_ = file;
    facts_ = velkor_file_facts{};
    facts_.size = sizeof facts_;
    velkor_facts(file_, &facts_);
}

velkor_picture_info AnalysedFile::picture(int32_t index) const {
    velkor_picture_info picture{};
    picture.size = sizeof picture;
    if (velkor_picture(file_, index, &picture) != VELKOR_OK) picture.bytes = 0;
    return picture;
}

int json_status(int32_t status) {
    switch (status) {
        case VELKOR_OK: return 0;
        case VELKOR_ERROR_NO_AUDIO: return 4;
        default: return 2;
    }
}

bool vbr_average(const velkor_file_facts& facts) {
    return (facts.vbr_header == VELKOR_VBR_XING || facts.vbr_header == VELKOR_VBR_VBRI) && facts.frames_exact;
}

int64_t leading_number(std::string_view text, int64_t none) {
    int64_t number = none;
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
