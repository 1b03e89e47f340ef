// Keeping a stream's head and tail and counting its frames as they pass.
#include "stream/streamed_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "stream/mp3_file_info.h"
#include "layout/file_layout.h"

namespace velkor {

namespace {

// Neither the stream's size nor its audio end is known while it streams:
// the scan and the count run as over a file without end, and the count is
// cut back to the audio end once the tail tells it.
constexpr int64_t kUnknownEnd = std::numeric_limits<int64_t>::max();

void append(std::vector<uint8_t>& to, ByteSpan bytes) { to.insert(to.end(), bytes.data, bytes.data + bytes.size); }

}  // namespace

void StreamedFile::add(ByteSpan block) {
    const int64_t block_offset = size_;
    size_ += static_cast<int64_t>(block.size);

    // The head: the ID3v2 header decides how far it reaches, and so do the
    // tags repeated behind it.
    ByteSpan rest = block;
    if (head_limit_ == 0) {
        const std::size_t take = std::min(rest.size, Id3v2Header::kSize - head_.size());
        append(head_, rest.first(take));
        rest = rest.from(take);
        if (head_.size() == Id3v2Header::kSize) {
            // The stream's size is not known yet: the scan starts behind the
            // tag, as the layout of any file longer than the tag says. A
            // stream no longer than the tag is held whole and walked as a file.
            const Id3v2Region id3v2 = id3v2_region(ByteSpan(head_.data(), head_.size()), kUnknownEnd, nullptr);
            first_tag_end_ = id3v2.present ? id3v2.end : 0;
            scan_start_ = audio_search_start(id3v2, kUnknownEnd);
            head_limit_ = static_cast<std::size_t>(scan_start_) + kHeadBytes;
        }
    }
    const int64_t block_end = block_offset + static_cast<int64_t>(block.size);
    auto fill_head = [&] {
        const auto held = static_cast<int64_t>(head_.size());
        if (held >= block_offset && held < block_end && head_.size() < head_limit_) {
            append(head_, block.from(static_cast<std::size_t>(held - block_offset)).first(head_limit_ - head_.size()));
        }
    };
    fill_head();
    if (head_limit_ != 0 && !scan_) {
        start_scan(false);
        fill_head();
    }

    // The tail: the last kTailBytes.
    append(tail_, block.from(block.size > kTailBytes ? block.size - kTailBytes : 0));
    if (tail_.size() - tail_from_ > kTailBytes) tail_from_ = tail_.size() - kTailBytes;
    if (tail_from_ >= kTailBytes) {
        tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(tail_from_));
        tail_from_ = 0;
    }

    // The walk: the bytes from where it goes on.
    if (count_done_) return;
    // Pending bytes run up to the block; without them the walk may wait
    // for bytes further on (a long frame's end).
    std::size_t skip = 0;
    if (pending_.empty()) {
        const int64_t need = count_ ? count_->next() : scan_ ? scan_->next() : scan_start_;
        skip = static_cast<std::size_t>(std::clamp<int64_t>(need - block_offset, 0, block.size));
        pending_offset_ = block_offset + static_cast<int64_t>(skip);
    }
    append(pending_, block.from(skip));
    if (scan_) walk(false);
}

void StreamedFile::start_scan(bool complete) {
    // Passes over the tags repeated behind the first as far as the head
    // holds them; waits for more bytes while a header may still come.
    while (scan_start_ > 0 && repeats_ < kMaxRepeatedId3v2) {
        const auto start = static_cast<std::size_t>(scan_start_);
        if (head_.size() < start + Id3v2Header::kSize) {
            if (!complete) return;
            break;
        }
        const int64_t end = repeated_id3v2_end(ByteSpan(head_.data(), head_.size()).from(start), scan_start_,
                                               first_tag_end_, kUnknownEnd);
        if (end < 0) break;
        scan_start_ = end;
        head_limit_ = static_cast<std::size_t>(end) + kHeadBytes;
        ++repeats_;
    }
    scan_.reset(new FirstFrameScan(scan_start_, kUnknownEnd, kUnknownEnd));
}

void StreamedFile::finish() {
    if (head_limit_ != 0 && !scan_) start_scan(true);
    if (scan_ && !count_done_) walk(true);
    count_done_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
}

void StreamedFile::walk(bool complete) {
    const ByteSpan window(pending_.data(), pending_.size());
    if (!count_) {
        const FirstFrameScan::Step step = scan_->scan(window, pending_offset_, complete);
        if (step == FirstFrameScan::Step::kNotFound) count_done_ = true;
        if (step == FirstFrameScan::Step::kFound) {
            first_frame_ = scan_->found();
            FrameHeader first;
            first.set_bytes(window.data + (first_frame_ - pending_offset_));
            count_.reset(new FrameCount(first_frame_, first, kUnknownEnd, static_cast<int64_t>(kTailBytes)));
        }
    }
    if (count_ && !count_done_) count_done_ = count_->count(window, pending_offset_, complete);
    if (count_done_) {
        pending_.clear();
        return;
    }
    // Drop what lies before the next byte looked at.
    const int64_t need = count_ ? count_->next() : scan_->next();
    const std::size_t drop = static_cast<std::size_t>(std::clamp<int64_t>(need - pending_offset_, 0, pending_.size()));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(drop));
    pending_offset_ += static_cast<int64_t>(drop);
    if (pending_.empty()) pending_offset_ = std::max(pending_offset_, need);
}

bool StreamedFile::give_count(Mp3FileInfo& info) {
    if (!count_ || first_frame_ != info.first_frame_offset || !count_->end_at(info.audio_end)) return false;
    info.counted_frames = count_->frames();
    info.counted_bytes = count_->bytes();
    info.counted_bitrate_varies = count_->bitrate_varies();
    return true;
}

ByteSpan StreamedFile::bytes(int64_t offset, std::size_t n) {
    if (offset < 0 || offset >= size_) return ByteSpan();
    n = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset));
    const int64_t head_end = static_cast<int64_t>(head_.size());
    const int64_t tail_begin = tail_offset();
    if (offset >= tail_begin) {
        return ByteSpan(tail_.data() + tail_from_ + (offset - tail_begin), n);
    }
    if (offset >= head_end) return ByteSpan();  // the middle passed by
    const ByteSpan in_head(head_.data() + offset, static_cast<std::size_t>(head_end - offset));
    if (n <= in_head.size || tail_begin > head_end) return in_head.first(n);
    // Across the head's end into the tail, which holds the bytes behind it.
    joined_.assign(in_head.data, in_head.data + in_head.size);
    const std::size_t more = n - in_head.size;
    const uint8_t* from = tail_.data() + tail_from_ + (head_end - tail_begin);
    joined_.insert(joined_.end(), from, from + more);
    return ByteSpan(joined_.data(), joined_.size());
}

}  // namespace velkor
