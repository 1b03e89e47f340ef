// Bounded zlib inflation of compressed ID3v2 frame bodies.
#define ZLIB_CONST
#include "tags/frame_inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "base/big_endian.h"

namespace velkor {

namespace {

// zlib counts its input in uInt; larger spans are fed in pieces.
constexpr std::size_t kMaxFeed = UINT_MAX;
// The output starts this large and doubles as it fills, so a small frame
// that declares a large size costs no more than it holds.
constexpr std::size_t kFirstOutput = std::size_t{64} << 10;

class Inflater {
public:
    Inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool ok() const { return ok_; }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

InflatedFrame inflate_frame(ByteSpan zlib_data, uint32_t declared_size, std::size_t limit) {
    InflatedFrame frame;
    Inflater inflater;
    if (!inflater.ok()) return frame;
    z_stream& stream = inflater.stream();
    // One byte beyond the limit: filling it shows the data holds more.
    const std::size_t room = limit + 1;
    ByteSpan input = zlib_data;
    for (;;) {
        if (stream.avail_out == 0) {
            const std::size_t used = frame.bytes.size();
            frame.bytes.resize(std::min(room, std::max(kFirstOutput, 2 * used)));
            stream.next_out = frame.bytes.data() + used;
            stream.avail_out = static_cast<uInt>(frame.bytes.size() - used);
        }
        if (stream.avail_in == 0 && input.size > 0) {
            const std::size_t feed = std::min(input.size, kMaxFeed);
            stream.next_in = input.data;
            stream.avail_in = static_cast<uInt>(feed);
            input = input.from(feed);
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (stream.total_out > limit) {
            frame.status = InflateStatus::kTooLarge;
            break;
        }
        if (result == Z_STREAM_END) {
            frame.bytes.resize(stream.total_out);
            frame.status = InflateStatus::kOk;
            frame.size_differs = stream.total_out != declared_size;
            return frame;
        }
        // Z_BUF_ERROR: no progress, all input used and the stream not ended.
        if (result != Z_OK) break;
    }
    frame.bytes = std::vector<uint8_t>();
    return frame;
}

InflatedFrame inflate_v23_frame_body(ByteSpan body) {
    if (body.size < 4) return InflatedFrame{};
    return inflate_frame(body.from(4), big_endian32(body, 0));
}

}  // namespace velkor
