// Mp3FileInfo::load: walks a file for its ID3v2 tag, first frame header,
// Xing header and ID3v1 tag.
//
// The results are those of a scan that reads the first 99,999 bytes into a
// zero-filled working buffer and then tests every candidate offset in turn;
// the reads are not. A typical file costs one read at its start and one at
// its end; the scan beyond the start goes in blocks and skips to the next
// 0xFF byte, so a large file without any header passes at memory speed.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/file_source.h"
#include "stream/frame_scan.h"
#include "stream/mp3_file_info.h"

namespace velkor {

namespace {

// The working buffer: the tag reader never sees more of the file's start.
constexpr int64_t kWorkingBufferSize = 99'999;
// First read at the start: a typical tag and the first frame behind it.
constexpr std::size_t kHeadRead = 4096;
// Scan blocks beyond what is in memory: a small one first (the frame is
// usually right there), then large ones.
constexpr std::size_t kFirstScanBlock = 4096;
constexpr std::size_t kScanBlock = 64 * 1024;

constexpr std::size_t kId3v2HeaderSize = 10;
constexpr int64_t kId3v2ReadLimit = 100'000;  // larger tags are not handed to the reader
constexpr uint8_t kId3v2FooterFlag = 0x10;

// Candidates whose marker window is checked (c + 1 below 210), and the first
// candidate tested again once the marker was seen.
constexpr std::size_t kJukeboxLastCandidate = 208;
constexpr int64_t kJukeboxResume = 2000;

constexpr int64_t kId3v1Size = static_cast<int64_t>(TagRecord::kId3v1Size);

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

// The first bytes of the file and the last scan block, so that the Xing and
// ID3v1 reads are served from memory when they fall inside either.
class FileBytes {
public:
    explicit FileBytes(platform::FileSource& file) : file_(file) {}

    // Makes sure the first min(n, file size) bytes are in memory.
    void load_head(std::size_t n) {
        n = static_cast<std::size_t>(std::min<int64_t>(n, file_.size()));
        if (n <= head_.size()) return;
        const std::size_t had = head_.size();
        head_.resize(n);
        head_.resize(had + file_.read_at(static_cast<int64_t>(had), head_.data() + had, n - had));
    }
    ByteSpan head() const { return ByteSpan(head_.data(), head_.size()); }

    // The first valid header at an offset in [from, last], or -1.
    int64_t find_frame(int64_t from, int64_t last) {
        const int64_t head_size = static_cast<int64_t>(head_.size());
        const std::size_t in_head =
            find_frame_header(head(), static_cast<std::size_t>(std::min(from, head_size)),
                              static_cast<std::size_t>(std::min(last + 1, head_size)));
        if (in_head != kNoFrame) return static_cast<int64_t>(in_head);

        // Blocks overlap by 3 bytes so that every candidate has its 4 bytes
        // in one block; none reaches past the last candidate's bytes.
        int64_t next = std::max(from, head_size - 3);
        std::size_t block_size = kFirstScanBlock;
        while (next <= last) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<int64_t>(block_size, last + 4 - next));
            block_.resize(want);
            block_offset_ = next;
            block_.resize(file_.read_at(next, block_.data(), want));
            if (block_.size() < 4) return -1;  // the file shrank or failed under us
            const std::size_t found =
                find_frame_header(ByteSpan(block_.data(), block_.size()), 0, block_.size() - 3);
            if (found != kNoFrame) return next + static_cast<int64_t>(found);
            next += static_cast<int64_t>(block_.size() - 3);
            block_size = kScanBlock;
        }
        return -1;
    }

    // Copies n bytes at offset into dest, from memory when possible; bytes
    // past the end of the file are zero. Returns the number of file bytes.
    std::size_t read(int64_t offset, uint8_t* dest, std::size_t n) {
        std::memset(dest, 0, n);
        if (copy_from(head_, 0, offset, dest, n) || copy_from(block_, block_offset_, offset, dest, n)) {
            return n;
        }
        return file_.read_at(offset, dest, n);
    }

private:
    static bool copy_from(const ReadBuffer& bytes, int64_t bytes_offset, int64_t offset,
                          uint8_t* dest, std::size_t n) {
        if (offset < bytes_offset ||
            offset + static_cast<int64_t>(n) > bytes_offset + static_cast<int64_t>(bytes.size())) {
            return false;
        }
        std::memcpy(dest, bytes.data() + (offset - bytes_offset), n);
        return true;
    }

    platform::FileSource& file_;
    ReadBuffer head_;
    ReadBuffer block_;
    int64_t block_offset_ = 0;
};

// The ID3v2 header test: "ID3", version and revision below 0xFF, four
// syncsafe size bytes. The flags byte is not examined.
bool is_id3v2_header(ByteSpan b) {
    return b.at(0) == 'I' && b.at(1) == 'D' && b.at(2) == '3' && b.at(3) < 0xFF &&
           b.at(4) < 0xFF && b.at(6) < 0x80 && b.at(7) < 0x80 && b.at(8) < 0x80 && b.at(9) < 0x80;
}

int64_t id3v2_tag_size(ByteSpan b) {
    return (int64_t{b.at(6)} << 21) | (int64_t{b.at(7)} << 14) | (int64_t{b.at(8)} << 7) |
           int64_t{b.at(9)};
}

// Bytes of side information between the frame header and a Xing header.
int64_t side_info_size(const FrameHeader& header) {
    const bool single_channel = header.mode_bits() == 3;
    if (header.version_bits() == 3) return single_channel ? 17 : 32;
    return single_channel ? 9 : 17;
}

}  // namespace

int32_t Mp3FileInfo::load(const char* path_arg) {
    if (path_arg == nullptr) return kStatusOpenFailed;  // nothing to open or to name
    platform::FileSource file;
    if (file.open(path_arg) != platform::FileSource::kOpened) {
        show_error_notice(kStatusOpenFailed, path_arg);
        return kStatusOpenFailed;
    }
    const int64_t size = file.size();
    file_size_ = size;
    path = path_arg;

    FileBytes bytes(file);
    bytes.load_head(kHeadRead);

    // ID3v2: the reader gets the whole tag (header included) as far as the
    // working buffer reaches; the scan starts behind the tag.
    int64_t start = 0;
    has_id3v2 = 0;
    if (is_id3v2_header(bytes.head())) {
        const int64_t tag_size = id3v2_tag_size(bytes.head());
        if (tag_size < kId3v2ReadLimit) {
            const int64_t length = std::min(std::min(size, kWorkingBufferSize),
                                            static_cast<int64_t>(kId3v2HeaderSize) + tag_size);
            bytes.load_head(static_cast<std::size_t>(length));
            has_id3v2 = tag.LoadTag2(bytes.head(), static_cast<int32_t>(length)) ? 1 : 0;
        }
        const int64_t footer = (bytes.head().at(5) & kId3v2FooterFlag) ? 10 : 0;
        const int64_t behind = static_cast<int64_t>(kId3v2HeaderSize) + tag_size + footer;
        if (behind < size - 4) start = behind;
    }

    // The first valid header among the candidates start .. size - 5. Once
    // the marker shows in a window, candidates up to 1999 are passed over.
    const int64_t last = size - 5;
    int64_t found = -1;
    int64_t c = start;
    for (; c <= last && c <= static_cast<int64_t>(kJukeboxLastCandidate); ++c) {
        if (has_jukebox_marker(bytes.head(), static_cast<std::size_t>(c))) {
            c = std::max(c, kJukeboxResume);
            break;
        }
        const ByteSpan head = bytes.head();
        const auto at = static_cast<std::size_t>(c);
        FrameHeader candidate;
        candidate.set_bytes(head.at(at), head.at(at + 1), head.at(at + 2), head.at(at + 3));
        if (candidate.is_valid()) {
            found = c;
            break;
        }
    }
    if (found < 0 && c <= last) found = bytes.find_frame(c, last);

    if (found < 0) {
        // Keep the last candidate examined, as a plain scan would.
        if (last >= 0) {
            uint8_t word[4];
            bytes.read(last, word, sizeof word);
            header.set_bytes(word);
            header_pos = size - 4;
        } else {
            header_pos = 0;
        }
        return kStatusNoFrame;
    }
    uint8_t word[4];
    bytes.read(found, word, sizeof word);
    header.set_bytes(word);
    header_pos = found + 1;

    uint8_t xing[VbrHeader::kSize];
    bytes.read(found + 4 + side_info_size(header), xing, sizeof xing);
    is_vbr = vbr.parse(ByteSpan(xing, sizeof xing));

    // Read whatever happened behind the first frame: a Xing read that ran
    // past the end of a short file says nothing about its last 128 bytes.
    uint8_t block[TagRecord::kId3v1Size];
    std::size_t got = 0;
    if (size >= kId3v1Size) got = bytes.read(size - kId3v1Size, block, sizeof block);
    has_id3v1 = tag.read_id3v1(ByteSpan(block, got == sizeof block ? got : 0));
    return kStatusOk;
}

}  // namespace velkor
