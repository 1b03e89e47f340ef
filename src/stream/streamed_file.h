// A file that comes as a stream, read once in blocks: what an analysis
// needs of it kept, the rest passed by. Kept: the head (the ID3v2 tag whole
// and kHeadBytes behind it) and the last kTailBytes; counted: every frame as
// it streams past, from the first one a scan confirms. The whole is then a
// ByteSource of the stream's size that holds its head and tail and nothing
// in between, and the count stands in for the walk the middle would need.
//
// Memory: the ID3v2 tag (at most its format's 256 MiB) and any repeated
// behind it (at most kMaxRepeatedBytes more) plus about
// kHeadBytes + 2 x kTailBytes + a block, and the offsets of the frames in
// the last kTailBytes; whatever the stream's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/byte_source.h"
#include "stream/frame_count.h"
#include "stream/frame_header.h"
#include "stream/frame_scan.h"

namespace velkor {

class Mp3FileInfo;

class StreamedFile final : public ByteSource {
public:
    // Behind the ID3v2 tag: the first frames and a VBR header, with room
    // for junk in front of them.
    static constexpr std::size_t kHeadBytes = 64 * 1024;
    // The trailing tags: ID3v1, a Lyrics3v2 block (at most 1 MB) and an APE
    // tag stacked in front.
    static constexpr std::size_t kTailBytes = 2 * 1024 * 1024;

    StreamedFile() = default;
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    // The stream's next bytes.
    void add(ByteSpan block);
    // The stream ended: nothing comes after what was added.
    void finish();

    int64_t size() const { return size_; }
    // Whether every byte of the stream is held (it was short), so that the
    // analysis can walk it as a file's.
    bool whole() const { return tail_offset() <= static_cast<int64_t>(head_.size()); }

    // Gives info (analysed over this source, without counting) the frames
    // counted: those from its first frame up to its audio end. False, and
    // info unchanged, when the count does not fit the analysis (another
    // first frame, or an end among frames no longer remembered).
    bool give_count(Mp3FileInfo& info);

    ByteSpan bytes(int64_t offset, std::size_t n) override;

private:
    int64_t tail_offset() const { return size_ - static_cast<int64_t>(tail_.size() - tail_from_); }
    // Feeds the scan and the count with pending_, then drops the bytes
    // neither needs again.
    void walk(bool complete);
    // Makes the scan for the first frame once the head shows where it
    // starts (behind the ID3v2 tags); `complete`: the stream ended.
    void start_scan(bool complete);

    int64_t size_ = 0;
    std::vector<uint8_t> head_;
    std::size_t head_limit_ = 0;  // 0 until the ID3v2 header could be looked at
    int64_t first_tag_end_ = 0;
    int64_t scan_start_ = 0;      // where the scan starts, as far as known
    int repeats_ = 0;             // repeated ID3v2 tags passed over
    // The last bytes: tail_[tail_from_, end), kept in a buffer of twice
    // kTailBytes so that dropping the oldest costs one move per kTailBytes.
    std::vector<uint8_t> tail_;
    std::size_t tail_from_ = 0;
    // The bytes the scan or the count will look at, from pending_offset_.
    std::vector<uint8_t> pending_;
    int64_t pending_offset_ = 0;
    std::unique_ptr<FirstFrameScan> scan_;
    std::unique_ptr<FrameCount> count_;
    int64_t first_frame_ = -1;
    bool count_done_ = false;
    // What bytes() hands out when a read spans the head and the tail.
    std::vector<uint8_t> joined_;
};

}  // namespace velkor
