// Mp3FileInfo::load and analyse: walk a file (or bytes in memory) for its
// ID3v2 tag, first frame, VBR header and ID3v1 tag.
//
// It reads what the facts need and no more. A typical file costs one read
// at its start and one at its end. An ID3v2 tag is walked frame by frame:
// its pictures are skipped by offset, never read. The scan for the first
// frame goes in blocks and skips to the next 0xFF byte, so a large file
// without any frame passes at memory speed.
#include <algorithm>
#include <cstring>
#include <memory>

#include "layout/file_layout.h"
#include "platform/file_source.h"
#include "stream/frame_count.h"
#include "stream/frame_scan.h"
#include "stream/mp3_file_info.h"
#include "tags/id3v2_header.h"

namespace velkor {

namespace {

// First read at the start: a typical tag and the first frames behind it.
constexpr std::size_t kHeadRead = 4096;
// Reads elsewhere: a small one first (what is wanted is usually right
// there), then large ones for a scan that goes on.
constexpr std::size_t kSmallRead = 4096;
constexpr std::size_t kScanBlock = 64 * 1024;

// The read at the end: an ID3v1 tag, an APE footer and a Lyrics3 end marker.
constexpr int64_t kTailRead = 256;
// What the read at the end takes at most, asked for as the file opens.
constexpr int64_t kTailHint = 4096;
// A window sampled for frames without a VBR header, to tell whether the
// bitrate varies: room to find and confirm a frame of 320 kbit/s at 44.1
// kHz wherever the window begins (three frames and a header, 3,139 bytes)
// and to count those behind it. Two of them and the two reads at the start
// stay under 16 KiB even when a large picture puts the second read at the
// tag's end.
constexpr std::size_t kSampleRead = 3840;

// Bytes read from the file. Up to 4 KiB live in place, which is all a
// typical file needs, so its analysis allocates nothing; and no byte is
// cleared before the read that fills it.
class ReadBuffer {
public:
    ReadBuffer() = default;
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    uint8_t* data() { return heap_ ? heap_.get() : local_; }
    const uint8_t* data() const { return heap_ ? heap_.get() : local_; }
    std::size_t size() const { return size_; }

    // Makes room for n bytes (keeping the ones held) and holds n.
    void resize(std::size_t n) {
        if (n > capacity_) {
            std::unique_ptr<uint8_t[]> larger(new uint8_t[n]);
            std::memcpy(larger.get(), data(), size_);
            heap_ = std::move(larger);
            capacity_ = n;
        }
        size_ = n;
    }

private:
    uint8_t local_[kHeadRead];
    std::unique_ptr<uint8_t[]> heap_;
    std::size_t capacity_ = kHeadRead;
    std::size_t size_ = 0;
};

}  // namespace

// The file's first bytes and one window elsewhere, so that the tag walk,
// the scan and the small reads behind the first frame share what was read.
class FileBytes final : public ByteSource {
public:
    // sampled: the stream will be sampled in its middle, so that its reads
    // are apart (below) from the start.
    FileBytes(ByteSource& source, int64_t size, bool sampled) : source_(source), size_(size), sampled_(sampled) {
        // The end is always read: from a disk, it comes in beside the start.
        if (size > static_cast<int64_t>(kHeadRead)) {
            source_.will_read(size - kTailHint, static_cast<std::size_t>(kTailHint));
            apart(true);
        }
        head_.resize(static_cast<std::size_t>(std::max<int64_t>(0, std::min<int64_t>(kHeadRead, size))));
        head_.resize(source_.read(0, head_.data(), head_.size()));
        // A tag longer than the start is walked on from it, with read-ahead.
        Id3v2Header header;
        if (parse_id3v2_header(head(), header) && header.end() > static_cast<int64_t>(head_.size())) apart(false);
    }

    ByteSpan head() const { return ByteSpan(head_.data(), head_.size()); }

    // The bytes at [offset, offset + n) from memory, or else read into the
    // window (at least a small read's worth).
    ByteSpan bytes(int64_t offset, std::size_t n) override { return held_or_read(offset, n, kSmallRead); }

    // The same, but a read takes these bytes only: a sample window.
    ByteSpan exact_bytes(int64_t offset, std::size_t n) { return held_or_read(offset, n, 0, true); }

    // The file's last n bytes, read (unless memory holds them) into a buffer
    // of their own: the window keeps what it holds (the end of a large tag
    // and the audio behind it).
    void read_tail(std::size_t n) {
        n = static_cast<std::size_t>(std::min<int64_t>(size_, static_cast<int64_t>(n)));
        const int64_t from = size_ - static_cast<int64_t>(n);
        if (covers(head_, 0, from, n) || covers(window_, window_offset_, from, n)) return;  // held already
        tail_offset_ = from;
        tail_.resize(n);
        tail_.resize(source_.read(tail_offset_, tail_.data(), n));
    }

    // What memory holds from offset on (perhaps nothing), for the scan.
    // `complete`: nothing lies behind it in the file.
    ByteSpan held_from(int64_t offset, bool& complete) const {
        const bool in_head = covers(head_, 0, offset, 1);
        const ReadBuffer& held = in_head ? head_ : window_;
        const int64_t held_offset = in_head ? 0 : window_offset_;
        const ByteSpan rest = covers(held, held_offset, offset, 1)
                                  ? span(held, held_offset, offset, held.size())
                                  : ByteSpan();
        complete = offset + static_cast<int64_t>(rest.size) >= size_;
        return rest;
    }

    // Up to n bytes from offset on, for the scan: read, unless the window
    // begins there and holds them already. `complete`: nothing more can be
    // read behind them (the file ends, or it could not be read further).
    ByteSpan read_from(int64_t offset, std::size_t n, bool& complete) {
        n = clamp(offset, n);
        apart(false);
        if (window_offset_ != offset || window_.size() < n) fill_window(offset, n);
        complete = window_.size() < n || offset + static_cast<int64_t>(n) >= size_;
        return ByteSpan(window_.data(), window_.size());
    }

    // Copies n bytes at offset into dest; bytes past the end of the file
    // are zero. Returns the number of file bytes.
    std::size_t read(int64_t offset, uint8_t* dest, std::size_t n) override {
        std::memset(dest, 0, n);
        const ByteSpan got = bytes(offset, n);
        if (got.size > 0) std::memcpy(dest, got.data, got.size);
        return got.size;
    }

private:
    // The first 4 KiB hold a typical file's tag and first frames, and the
    // other reads of a file that is sampled are a few KiB each, at the end
    // and in the middle: from a disk, read-ahead would make each a hundred,
    // most of a small file. It is on while a tag longer than the start is
    // walked, and for the scan's and the count's blocks. (A file read only
    // at its start and end gains nothing from the call.)
    void apart(bool yes) {
        if (!sampled_ || yes == apart_) return;
        source_.reads_apart(yes);
        apart_ = yes;
    }
    bool apart_ = false;

    // `sample`: a read it makes is a sample's, made without read-ahead.
    ByteSpan held_or_read(int64_t offset, std::size_t n, std::size_t least_read, bool sample = false) {
        if (offset < 0) return ByteSpan();
        n = clamp(offset, n);
        if (covers(head_, 0, offset, n)) return span(head_, 0, offset, n);
        if (covers(tail_, tail_offset_, offset, n)) return span(tail_, tail_offset_, offset, n);
        if (!covers(window_, window_offset_, offset, n)) {
            if (sample) apart(true);
            fill_window(offset, std::max(n, least_read));
        }
        return span(window_, window_offset_, offset, n);
    }

    // n, less what lies past the end of the file.
    std::size_t clamp(int64_t offset, std::size_t n) const {
        return static_cast<std::size_t>(std::max<int64_t>(0, std::min<int64_t>(n, size_ - offset)));
    }

    static bool covers(const ReadBuffer& held, int64_t held_offset, int64_t offset, std::size_t n) {
        return offset >= held_offset &&
               offset + static_cast<int64_t>(n) <= held_offset + static_cast<int64_t>(held.size());
    }

    static ByteSpan span(const ReadBuffer& held, int64_t held_offset, int64_t offset, std::size_t n) {
        const std::size_t from = static_cast<std::size_t>(offset - held_offset);
        return ByteSpan(held.data() + from, std::min(n, held.size() - std::min(from, held.size())));
    }

    void fill_window(int64_t offset, std::size_t n) {
        n = clamp(offset, n);
        window_.resize(n);
        window_offset_ = offset;
        window_.resize(source_.read(offset, window_.data(), n));
    }

    ByteSource& source_;
    const int64_t size_;
    const bool sampled_;  // read apart, but for what is read in order (apart())
    ReadBuffer head_;
    ReadBuffer tail_;
    int64_t tail_offset_ = 0;
    ReadBuffer window_;
    int64_t window_offset_ = 0;
};

namespace {

// A window read to sample a VBR stream without a VBR header: large, as
// the frames' sizes swing from one to the next and along the audio.
constexpr int64_t kProbeRead = 64 * 1024;

// Samples a stream whose bitrate varies for its frame count, at `reads`
// more reads. The bytes between the runs counted at the ends are read
// whole when one window holds them. Else a run at an end that is all
// silence (frames at the lowest bitrate, an encoder's quiet lead-in or
// fade-out) may go on far and sets the figures off most, so one read
// continues it; the other reads are windows in the middles of equal parts
// of what lies between (two: at a quarter and three quarters, beside the
// ends).
void sample_vbr_stream(FileBytes& bytes, FrameSample& sample, const FrameHeader& header, const FrameRun& head,
                       const FrameRun& tail, int32_t reads, int64_t audio_end) {
    auto between = [&] { return sample.tail_from - sample.head_to; };
    auto run_at = [&](int64_t at, int64_t n) {
        const ByteSpan window = bytes.exact_bytes(at, static_cast<std::size_t>(n));
        return find_frame_run(window, at, at, at == sample.head_to, header, audio_end);
    };
    if (reads <= 0 || between() <= 0) return;
    if (between() <= kProbeRead) {
        const FrameRun run = run_at(sample.head_to, between());
        if (!sample.add_head(run)) sample.add_inside(run);
        return;
    }
    if (head.frames >= 3 && head.lowest_only && head.to == sample.head_to) {
        const FrameRun run = run_at(sample.head_to, kProbeRead);
        if (!sample.add_head(run)) sample.add_inside(run);
        --reads;
    } else if (tail.frames >= 3 && tail.lowest_only && tail.from == sample.tail_from) {
        const int64_t at = sample.tail_from - kProbeRead;
        const FrameRun run = run_at(at, kProbeRead);
        if (!sample.add_tail(run)) sample.add_inside(run);
        --reads;
    }
    sample.ends_weigh = reads == 2;
    for (int32_t i = 0; i < reads && between() > 0; ++i) {
        const int64_t n = std::min(kProbeRead, between());
        const int64_t middle = sample.head_to + between() * (2 * i + 1) / (2 * reads);
        const int64_t at = std::max(sample.head_to, std::min(sample.tail_from - n, middle - n / 2));
        sample.add_inside(run_at(at, n));
    }
}

// Whether the frame right behind the ID3v2 tag (at `at`), where a stream's
// first frame mostly stands, holds a VBR header. Such a stream needs no
// frames sampled, so the read at the file's end can stay small. The frame's
// bytes are read when memory lacks them: the scan for the first frame would
// read them next, and takes them from the window. Only a guess about what to read: the scan decides where
// the first frame is, and reads what the guess left out.
bool vbr_header_at(FileBytes& bytes, int64_t at) {
    const ByteSpan frame = bytes.bytes(at, VbrHeader::kFrameBytes);
    if (frame.size < 4) return false;
    FrameHeader header;
    header.set_bytes(frame.data);
    VbrHeader vbr;
    return header.is_valid() && vbr.read(frame, header) != VbrHeader::Kind::kNone;
}

}  // namespace

int32_t Mp3FileInfo::load(const char* path_arg) {
    if (path_arg == nullptr) return kStatusOpenFailed;  // nothing to open or to name
    platform::FileSource file;
    if (file.open(path_arg) != platform::FileProblem::kNone) {
        show_error_notice(kStatusOpenFailed, path_arg);
        return kStatusOpenFailed;
    }
    return analyse(file, file.size(), path_arg, LoadOptions());
}

int32_t Mp3FileInfo::analyse(ByteSource& source, int64_t size, const char* path_arg, const LoadOptions& options) {
    size = std::max<int64_t>(0, size);
    FileBytes bytes(source, size, options.sample_frames && !options.count_frames);
    const int32_t status = analyse_bytes(bytes, size, path_arg, options);
    if (options.keep != nullptr) options.keep(bytes, options.keep_context);
    return status;
}

int32_t Mp3FileInfo::analyse_bytes(FileBytes& bytes, int64_t size, const char* path_arg, const LoadOptions& options) {
    file_size_ = size;
    path = path_arg;

    // ID3v2: the reader walks the whole tag, trusted or not (its frames are
    // read as far as they go); the scan starts where the layout says.
    has_id3v2 = 0;
    id3v2 = Id3v2Header();
    const bool begins_with_id3v2 = parse_id3v2_header(bytes.head(), id3v2);
    if (begins_with_id3v2) {
        const int64_t length = std::min(size, id3v2.tag_size());
        if (options.full) {
            id3v2_tag = read_id3v2_tag(bytes, length);
            has_id3v2 = id3v2_tag.version != 0;
        } else {
            has_id3v2 = tag.LoadTag2(bytes, length) ? 1 : 0;
        }
    }

    // One read of the file's end holds the ID3v1 tag and what is needed to
    // find the APE and Lyrics3 tags in front of it; the layout decides where
    // the audio ends. When frames may be sampled the read holds the window
    // at the audio's end as well, which saves a read; not when a VBR header
    // will tell what sampling would.
    const bool samples = options.sample_frames && !options.count_frames &&
                         !vbr_header_at(bytes, begins_with_id3v2 ? id3v2.end() : 0);
    bytes.read_tail(static_cast<std::size_t>(kTailRead) + (samples ? kSampleRead : 0));
    const FileLayout layout = describe_file(bytes, size);
    const int64_t start = layout.audio_begin;
    audio_end = layout.audio_end;
    uint8_t block[TagRecord::kId3v1Size];
    std::size_t got = 0;
    if (layout.id3v1_begin >= 0) got = bytes.read(layout.id3v1_begin, block, sizeof block);
    const ByteSpan last_block(block, got == sizeof block ? got : 0);
    apev2_tag = Apev2Tag();
    if (options.full) {
        for (const TrailingTag& found : layout.trailing) {
            if (found.kind != TrailingTag::Kind::kApev2) continue;
            apev2_tag = read_apev2_tag(bytes, found.end, found.begin);
            break;
        }
    }
    // A file without audio still gives its tags to whoever reads them whole.
    auto no_frame = [&] {
        if (options.full) has_id3v1 = tag.read_id3v1(last_block);
        return kStatusNoFrame;
    };

    format = layout.format;
    first_frame_offset = -1;
    scanned = false;
    if (layout.other_format()) return no_frame();

    // The scan begins with what memory already holds, then reads: a small
    // block first (the frame is usually right there), then large ones.
    FirstFrameScan scan(start, size, audio_end);
    bool complete = false;
    ByteSpan window = bytes.held_from(start, complete);
    FirstFrameScan::Step step;
    std::size_t want = kSmallRead;
    while ((step = scan.scan(window, scan.next(), complete)) == FirstFrameScan::Step::kNeedBytes) {
        window = bytes.read_from(scan.next(), want, complete);
        want = kScanBlock;
    }

    // A header inside the ID3v1 tag is the tag's bytes, not audio.
    if (step == FirstFrameScan::Step::kFound && scan.found() + 4 > audio_end) step = FirstFrameScan::Step::kNotFound;
    if (step != FirstFrameScan::Step::kFound) {
        // Keep the last candidate examined, as a plain scan would.
        if (scan.last() >= 0) {
            uint8_t word[4];
            bytes.read(scan.last(), word, sizeof word);
            header.set_bytes(word);
            scanned = true;
        }
        return no_frame();
    }
    const int64_t found = scan.found();
    uint8_t word[4];
    bytes.read(found, word, sizeof word);
    header.set_bytes(word);
    first_frame_offset = found;
    scanned = true;

    vbr.read(bytes.bytes(found, VbrHeader::kFrameBytes), header);
    is_vbr = vbr.marks_vbr() ? 1 : 0;

    // No header tells whether the bitrate varies: frames at the start and
    // the end of the audio do (the end's window is usually held with the
    // tail), else a small window in the middle. A stream they show to vary
    // is sampled further for its frame count (sample_vbr_stream).
    sampled = FrameSample();
    if (vbr.kind() == VbrHeader::Kind::kNone && options.sample_frames && !options.count_frames) {
        sampled.start(found, audio_end);
        const FrameRun head = find_frame_run(bytes.held_from(found, complete), found, found, true, header, audio_end);
        sampled.add_head(head);
        FrameRun tail;
        if (sampled.head_to < audio_end) {
            const int64_t at = std::max(sampled.head_to, audio_end - static_cast<int64_t>(kSampleRead));
            const ByteSpan window = bytes.exact_bytes(at, static_cast<std::size_t>(audio_end - at));
            tail = find_frame_run(window, at, at, at == sampled.head_to, header, audio_end);
            if (at == sampled.head_to ? !sampled.add_head(tail) : !sampled.add_tail(tail)) sampled.add_inside(tail);
        }
        int32_t reads_left = 2;
        if (!sampled.varies && sampled.head_to < sampled.tail_from) {
            const int64_t middle = sampled.head_to + (sampled.tail_from - sampled.head_to) / 2;
            const ByteSpan window = bytes.exact_bytes(middle, kSampleRead);
            sampled.add_inside(find_frame_run(window, middle, middle, false, header, audio_end));
            reads_left = 1;
        }
        if (sampled.varies) sample_vbr_stream(bytes, sampled, header, head, tail, reads_left, audio_end);
    }

    if (options.count_frames) {
        FrameCount count(found, header, audio_end);
        ByteSpan window = bytes.held_from(found, complete);
        while (!count.count(window, count.next(), complete)) {
            window = bytes.read_from(count.next(), kScanBlock, complete);
        }
        counted_frames = count.frames();
        counted_bytes = count.bytes();
        counted_bitrate_varies = count.bitrate_varies();
    }

    // Read whatever happened behind the first frame: a VBR header read that
    // ran past the end of a short file says nothing about its last 128 bytes.
    has_id3v1 = tag.read_id3v1(last_block);
    return kStatusOk;
}

}  // namespace velkor
