// One file as the library's interface gives it: the open handle, its facts
// and texts, and the readings of them that the readable block and JSON
// share (the VBR mark, the track).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "velkor.h"

namespace velkor::cli {

class AnalysedFile {
public:
    AnalysedFile() = default;
    ~AnalysedFile() { velkor_close(file_); }
    AnalysedFile(const AnalysedFile&) = delete;
    AnalysedFile& operator=(const AnalysedFile&) = delete;

    // Analyses the file at path (VELKOR_OPEN_... options); the library's status.
    // The facts and texts are there only after VELKOR_OK.
    int32_t open(const char* path, uint32_t options);
    // Takes over a handle analysed elsewhere (a scan's); has_audio false
    // for the handle of a file with tags but no audio.
    void adopt(velkor_file* file, bool has_audio = true);

    bool is_open() const { return file_ != nullptr; }
    // The file's JSON object (velkor_file_json) into text, valid until the
    // next call or the handle's close; the library's status.
    int32_t json(const char* path, uint32_t options, std::string_view& text) {
        const char* at = nullptr;
        std::size_t size = 0;
        const int32_t status = velkor_file_json(file_, path, options, &at, &size);
        text = at != nullptr ? std::string_view(at, size) : std::string_view();
        return status;
    }
    // Reads every frame of the ID3v2 tag (the library reads them from the
    // file when first asked for): VELKOR_OK, or why they cannot be had.
    int32_t read_frames() const;

    const velkor_file_facts& facts() const { return facts_; }
    // The common facts of the tags as numbers.
    const velkor_tag_facts_info& tags() const { return tags_; }
    bool has_audio() const { return has_audio_; }
    // Whether the file has any tag: ID3v1, ID3v2 or APEv2.
    bool has_tags() const { return facts_.id3v1 != 0 || facts_.id3v2_version != 0 || ape_item_count() > 0; }
    // A VELKOR_ID3V1_..., VELKOR_ID3V2_... or VELKOR_STREAM_... text; empty when absent.
    std::string_view text(int32_t field) const { return view(velkor_text(file_, field)); }
    velkor_picture_info picture(int32_t index) const;
    // The picture's data into buffer: velkor_read_picture's status.
    int32_t read_picture(int32_t index, void* buffer, int32_t size) const {
        return velkor_read_picture(file_, index, buffer, size);
    }
    std::string_view picture_text(int32_t index, int32_t field) const {
        return view(velkor_picture_text(file_, index, field));
    }

    int32_t frame_count() const { return velkor_frame_count(file_); }
    int32_t ape_item_count() const { return velkor_ape_item_count(file_); }
    bool ape_item(int32_t index, velkor_ape_item_info& info) const;
    std::string_view ape_item_text(int32_t index, int32_t field, int32_t value = 0) const {
        return view(velkor_ape_item_text(file_, index, field, value));
    }
    // Frame `index` of the ID3v2 tag; false when it cannot be had (the file
    // cannot be read again).
    bool frame(int32_t index, velkor_frame_info& info) const;
    // A VELKOR_FRAME_... text of frame `index`, every byte of it (a unique
    // id may hold zero bytes); empty when absent.
    std::string_view frame_text(int32_t index, int32_t field, int32_t value = 0) const {
        const char* text = velkor_frame_text(file_, index, field, value);
        if (text == nullptr) return {};
        const int32_t size = velkor_frame_text_size(file_, index, field, value);
        return std::string_view(text, size > 0 ? static_cast<std::size_t>(size) : 0);
    }

private:
    static std::string_view view(const char* text) { return text ? text : std::string_view(); }

    velkor_file* file_ = nullptr;
    velkor_file_facts facts_{};
    velkor_tag_facts_info tags_{};
    bool has_audio_ = true;
};

// True when the bitrate is a VBR header's average over the whole stream
// (a file cut short keeps it); a header without the frame count leaves the
// first frame's bitrate.
bool vbr_average(const velkor_file_facts& facts);

// Why a file without MPEG audio holds none, in words: "a FLAC file, not
// MPEG audio" (the format its signature names), "an empty file, not MPEG
// audio", else the library's "no MPEG audio in it".
// format: where to put the format's name ("" for none).
std::string not_mpeg_audio(const char* path, std::string* format = nullptr);

// The track as the analysis exports give it: an ID3v1.1 tag's, none for an
// ID3v1.0 tag, else the ID3v2 tag's number; -1 for none.
int32_t combined_track(const AnalysedFile& file);

// The number a text starts with ("7" of "7/12", " 7"), or none when it
// starts with no digit (blanks before it aside).
int64_t leading_number(std::string_view text, int64_t none);

// The name of an ID3v2 picture type ("front cover"), "other" for unknown ones.
const char* picture_type_name(int32_t type);

}  // namespace velkor::cli
