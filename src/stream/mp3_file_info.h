// The per-file analysis object: the loader's results, the stream figures
// derived from them and the tag queries. The analysis exports' own figures
// and encodings are in legacy/record_figures.h.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_source.h"
#include "stream/format_signature.h"
#include "stream/frame_count.h"
#include "stream/frame_header.h"
#include "stream/vbr_header.h"
#include "tags/apev2_tag.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_tag.h"
#include "tags/tag_record.h"

namespace velkor {

// Status codes of load.
enum Status : int32_t {
    kStatusOk = 0,
    kStatusOpenFailed = 2,     // load: the file cannot be opened
    kStatusNoFrame = 4,        // load: no valid frame header
};

// Shows the error notice for code 2 or 4 with the given caption;
// nothing for any other code.
void show_error_notice(int32_t code, const char* caption);

// The stream's figures as velkor's own interface gives them: exact where
// every frame was counted or a VBR header gives the count, else estimated
// from the first frame.
struct StreamFigures {
    int64_t frames = 0;
    bool frames_exact = false;
    bool bitrate_varies = false;     // a VBR header says so, or the frames counted or sampled
    int32_t bitrate_kbps = 0;        // average where it is known, else the first frame's
    int64_t samples = 0;             // frames x samples per frame
    int64_t gapless_samples = -1;    // less the encoder's delay and padding; -1 unknown
    int64_t duration_ms = 0;         // of the samples, to the nearest millisecond
    int64_t gapless_duration_ms = -1;
    // The VBR header's frame or byte count cannot fit in the audio the file
    // holds: the file was cut short, and the figures come from its bytes.
    bool truncated = false;
};

// What an analysis finds beyond the exports' figures.
struct LoadOptions {
    // The ID3v2 tag whole, in UTF-8, with its pictures (in id3v2_tag; the
    // exports' 30-character texts of `tag` are then left empty), and the
    // APE tag's items. The tags are read even from a file without audio.
    bool full = false;
    // Every frame counted (counted_frames).
    bool count_frames = false;
    // Without a VBR header, frames sampled at the middle and the end too
    // (sampled), at two small reads.
    bool sample_frames = false;
    // Called as the analysis ends, with the file's bytes as it read them:
    // whoever keeps more of the file takes it from there, without reading
    // again what the analysis holds.
    void (*keep)(ByteSource& bytes, void* context) = nullptr;
    void* keep_context = nullptr;
};

// Bytes per frame for one bit/s per Hz: 48 for Layer I, 144 for Layer II and
// MPEG-1 Layer III, 72 for MPEG-2 and MPEG-2.5 Layer III.
double frame_size_coefficient(const FrameHeader& header);
// Into the int32 range: toward zero, NaN as 0, beyond the range its end.
int32_t to_int32(double value);
int32_t to_int32(int64_t value);

class FileBytes;

class Mp3FileInfo {
public:
    using Text = TagRecord::Text;

    FrameHeader header;
    VbrHeader vbr;  // what the first frame says of the stream (Xing, Info, VBRI)
    TagRecord tag;
    int32_t is_vbr = 0;
    int32_t has_id3v1 = 0;
    int32_t has_id3v2 = 0;
    std::string path;
    int64_t file_size_ = 0;
    int64_t first_frame_offset = -1;  // where the first frame header starts; -1 when none was found
    // Whether the search for it examined any position: without a frame
    // found, `header` holds the last one examined.
    bool scanned = false;
    // Beyond what the exports show: the ID3v2 tag's header (version 0 when
    // there is none), another format's signature at the start (a file of
    // that format holds no MPEG audio; kRiffMpeg wraps it), and where the
    // audio ends (before the ID3v1, APE and Lyrics3 tags behind it).
    Id3v2Header id3v2;
    FormatSignature format;
    int64_t audio_end = 0;
    // Filled as LoadOptions ask.
    Id3v2Tag id3v2_tag;
    Apev2Tag apev2_tag;  // the APE tag among the trailing tags, with its items
    int64_t counted_frames = -1;
    int64_t counted_bytes = 0;
    bool counted_bitrate_varies = false;
    // Frames sampled at the start, middle and end of a stream without a VBR
    // header whose frames were not counted.
    FrameSample sampled;

    // Analyses the file: 0 success, 2 not opened (after the notice), 4 no
    // valid frame header.
    int32_t load(const char* path);
    // Analyses the `size` bytes of source, a file already opened or bytes
    // in memory (no notice): 0 success, 4 no valid frame header. `path` is
    // kept as the object's path.
    int32_t analyse(ByteSource& source, int64_t size, const char* path, const LoadOptions& options);

    // Derived figures; meaningful after load returned 0.
    void version_text(char (&out)[FrameHeader::kVersionTextSize]) const;
    void mode_text(char (&out)[FrameHeader::kModeNameSize]) const;
    int32_t frequency_hz() const;
    int64_t file_size() const { return file_size_; }
    // The figures of velkor's own interface; meaningful after load returned 0.
    StreamFigures stream_figures() const;

    // Tag queries, answered from `tag`.
    void tag_title(Text& out) const { tag.get_title(out); }
    void tag_artist(Text& out) const { tag.get_artist(out); }
    void tag_album(Text& out) const { tag.get_album(out); }
    void tag_comment(Text& out) const { tag.get_comment(out); }
    void tag_v2_title(Text& out) const { tag.get_v2_title(out); }
    void tag_v2_artist(Text& out) const { tag.get_v2_artist(out); }
    void tag_v2_album(Text& out) const { tag.get_v2_album(out); }
    void tag_v2_comment(Text& out) const { tag.get_v2_comment(out); }
    void tag_genre_name(char (&out)[TagRecord::kGenreNameSize]) const { tag.genre_name(out); }
    int32_t tag_year() const { return tag.get_year(); }
    int32_t tag_track() const { return tag.get_track(); }
    int32_t tag_genre_index() const { return tag.genre_index(); }
    int32_t tag_v2_genre_index() const { return tag.v2_genre_index(); }

private:
    int32_t analyse_bytes(FileBytes& bytes, int64_t size, const char* path, const LoadOptions& options);
};

}  // namespace velkor
