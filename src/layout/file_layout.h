// Where a file's parts lie, decided once from its bytes: the ID3v2 tag at
// the start and whether a save may overwrite the bytes it claims, where the
// search for audio begins, another format's signature, the end of the
// audio, and the tags behind it in order. The analysis, the stream open,
// the frame count and the editor all take their regions from here, so they
// cannot disagree about what is a tag and what is audio.
#pragma once

#include <cstdint>
#include <vector>

#include "base/byte_source.h"
#include "stream/format_signature.h"
#include "tags/id3v2_header.h"
#include "tags/trailing_tags.h"

namespace velkor {

// The ID3v2 tag a file begins with.
struct Id3v2Region {
    bool present = false;  // the file begins with an ID3v2 header
    Id3v2Header header;
    int64_t end = 0;  // where the header says the tag ends (footer included)
    // The header can be trusted with the bytes it claims: its version is
    // 2, 3 or 4, no flag undefined for that version is set, the tag ends
    // within the file, and a footer the flags announce stands where the size
    // puts it and tells the same size. Only then may a save overwrite
    // [0, end); a header that fails is kept with what it claims as bytes of
    // unknown meaning. (An extended header is inside the tag whatever its
    // own size says: taggers that set its flag without writing one leave
    // tags that are still whole.)
    bool trusted = false;
};

// The region of the header at the start of `bytes` (the file's first ten
// bytes or more) in a file of file_size bytes. `source` gives
// the bytes of the footer, where the flags announce one; nullptr leaves the
// footer unchecked and the region untrusted.
Id3v2Region id3v2_region(ByteSpan bytes, int64_t file_size, ByteSource* source);

// Where the search for the first frame begins: behind the tag, or at the
// start when the tag claims the file's last bytes too (the audio is then
// searched for wherever it is). file_size may be unknown (a stream still
// coming): pass INT64_MAX.
int64_t audio_search_start(const Id3v2Region& id3v2, int64_t file_size);

// Taggers that prepend rather than replace leave an ID3v2 tag right behind
// another; the search for audio passes over up to this many more, as their
// bytes (a picture's, say) may look like frames. A save keeps them.
// A repeated tag is passed over only while it ends within
// kMaxRepeatedBytes of the first tag's end, which bounds what a stream holds
// to find the first frame behind them.
constexpr int kMaxRepeatedId3v2 = 8;
constexpr int64_t kMaxRepeatedBytes = int64_t{16} << 20;

// The end of the ID3v2 tag whose header `bytes` holds (the file's bytes at
// `at`, right behind the tag that ends at `at`; the first tag ends at
// first_end) when the search passes over it: a header whose tag ends before
// file_size - 4, as for the first, and within kMaxRepeatedBytes of
// first_end; else -1.
int64_t repeated_id3v2_end(ByteSpan bytes, int64_t at, int64_t first_end, int64_t file_size);

struct FileLayout {
    int64_t size = 0;
    Id3v2Region id3v2;
    // Another format's signature at the start (or behind the ID3v2 tag);
    // kRiffMpeg: MPEG audio in a RIFF file's data chunk.
    FormatSignature format;
    // Where the search for the first frame begins (behind the ID3v2 tag and
    // any repeated behind it) and where the audio ends: [audio_begin,
    // audio_end) are the bytes that may hold frames.
    int64_t audio_begin = 0;
    int64_t audio_end = 0;
    // Where the trailing tags begin (the audio's end unless a RIFF data
    // chunk ends the audio earlier), and the tags, from the file's end
    // inwards; the bytes between stay unknown.
    int64_t tags_begin = 0;
    std::vector<TrailingTag> trailing;
    // The file's ID3v1 tag: the outermost tag, at the file's end; -1 none.
    int64_t id3v1_begin = -1;

    // Whether another format's signature says the file is not MPEG audio.
    bool other_format() const { return format.format != FileFormat::kNone && format.format != FileFormat::kRiffMpeg; }
    // Whether every byte of the file is a tag a save may replace (an ID3v2
    // tag that can be trusted, tags behind it): a tag-only file, which
    // holds no audio and yet may be edited. An empty file is not one.
    bool tags_only() const { return size > 0 && !other_format() && tags_begin == (id3v2.trusted ? id3v2.end : 0); }
};

// The layout of the `size` bytes of source. Reads the first bytes, the
// bytes at the end that hold the trailing tags (and the APE items' headers
// to check their sizes), and the signature behind the ID3v2 tag; never the
// audio. Bounded by the trailing tags' stack (TrailingTags::kMaxTags).
FileLayout describe_file(ByteSource& source, int64_t size);

// The first frame in the layout's audio: the offset of a valid header that
// the frames behind it confirm, searched from audio_begin as the analysis
// does (FirstFrameScan); -1 when there is none or another format's
// signature says the file holds no MPEG audio. Reads the file in blocks
// until the frame is found: all of it when there is none.
int64_t find_first_frame(ByteSource& source, const FileLayout& layout);

}  // namespace velkor
