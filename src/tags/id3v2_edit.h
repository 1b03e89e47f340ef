// An ID3v2 tag as a list of frames that can be changed and written out
// again. Each frame read keeps its stored bytes and is written back as it
// was unless an edit replaces or removes it; new frames are built when the
// tag is written, in the layout of the version written. Pure code over the
// tag's bytes: memory stays linear in the tag's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/byte_span.h"
#include "frames/frame_codec.h"

namespace velkor {

// What an edit puts into a new frame: the frame model's values, written
// by its codec for the frame's kind.
using Id3v2NewFrame = Id3v2FrameValues;

struct Id3v2EditFrame {
    char id[5] = {};
    uint16_t flags = 0;            // in the layout of the version read (0 when new)
    std::vector<uint8_t> stored;   // a kept frame's body as written: prefix, then content
    std::size_t content_at = 0;    // where the content starts in `stored`
    bool readable = false;         // the content is plain (not encrypted, not compressed)
    bool fresh = false;            // built by an edit, from `value`
    Id3v2NewFrame value;
};

struct Id3v2Written {
    std::vector<uint8_t> bytes;  // the whole tag with its padding; empty: no tag
    int version = 0;             // 3 or 4; 0 when no tag
    bool too_large = false;      // over the 256 MiB an ID3v2 size can say
};

class Id3v2Edit {
public:
    // Fresh padding of a tag that does not fit the old one's room.
    static constexpr std::size_t kMinPadding = 1024;
    static constexpr std::size_t kMaxPadding = 4096;

    Id3v2Edit() = default;
    // Reads the tag `tag` begins with (its bytes as the file holds them, cut
    // short where the file ends); bytes without a tag give an empty edit.
    explicit Id3v2Edit(ByteSpan tag);

    int version() const { return version_; }        // of the tag read: 0, 2, 3 or 4
    int64_t room() const { return room_; }           // the bytes the old tag takes (footer included)
    int dropped() const { return dropped_; }         // frames read that will not be written
    bool edited() const { return edited_; }
    const std::vector<Id3v2EditFrame>& frames() const { return frames_; }
    // Frame ids an edit set or removed ("COMM" for comments).
    const std::set<std::string>& touched() const { return touched_; }

    // Edits. Ids are four characters A-Z, 0-9 (checked by the caller).
    void set_text(const char* id, const std::vector<std::string>& values);  // none: removed
    void set_user_text(const std::string& description, const std::vector<std::string>& values);
    // COMM or USLT; text null: removed.
    void set_described_text(const char* id, const std::string& language, const std::string& description,
                            const std::string* text);
    void set_url(const char* id, const std::string& description, const std::string* url);
    void add_picture(int32_t type, const std::string& mime, const std::string& description,
                     std::vector<uint8_t> data);
    void remove_pictures(int32_t type);  // -1: all
    void set_popularimeter(const std::string& email, int32_t rating, int64_t play_count);  // rating -1: removed
    void remove_frames(const char* id);
    void remove_all();  // the whole tag; later edits start a new one

    // The values of the first frame `id` joined by "; " ("" when none);
    // the text of the first comment without description (else the first).
    std::string text(const char* id) const;
    std::string comment() const;

    // Converts the tag to version 3 or 4, as other taggers do: the dates
    // (TDRC and TYER, TDAT, TIME; TDOR and TORY), the people lists (TIPL and
    // TMCL, IPLS), genre references ("(51)(39)Power Noise" in 2.3, values
    // apart in 2.4), several values ("/"-joined in 2.3), the texts'
    // encodings and the frame flags. Frames the version has no form for,
    // and frames whose content cannot be read (encrypted), are dropped and
    // counted in dropped(). write() then writes that version.
    void convert_to(int version);

    // The version write() writes in.
    int written_version(bool new_as_v24) const {
        if (target_ != 0) return target_;
        return !removed_ && (version_ == 3 || version_ == 4) ? version_ : (new_as_v24 ? 4 : 3);
    }

    // The tag as written: its own version (a 2.2 tag, or a new one, as
    // 2.3, or 2.4 when new_as_v24), padded to room() when it fits in it.
    Id3v2Written write(bool new_as_v24) const;

private:
    // Removes the frames `id` that `same` finds equal to value and, with
    // put, puts value in the place of the first (else at the end).
    void replace(const char* id, Id3v2NewFrame value, bool put,
                 bool (*same)(const Id3v2EditFrame&, const Id3v2NewFrame&));
    void read_frames(ByteSpan tag);

    int version_ = 0;
    int target_ = 0;  // the version convert_to() converted to; 0: none
    int64_t room_ = 0;
    int dropped_ = 0;
    bool edited_ = false;
    bool removed_ = false;  // the old tag was removed: what is left is new
    std::vector<Id3v2EditFrame> frames_;
    std::set<std::string> touched_;
};

}  // namespace velkor
