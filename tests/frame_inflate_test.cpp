// Compressed frame bodies inflated within the fixed limit whatever they
// declare (a wrong declared size noted), zip bombs included.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tags/frame_inflate.h"

namespace {

using namespace velkor;
using S = InflateStatus;

std::vector<uint8_t> deflated(const std::string& text) {
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(text.size())));
    uLongf size = static_cast<uLongf>(out.size());
    compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()));
    out.resize(size);
    return out;
}

ByteSpan span(const std::vector<uint8_t>& v) { return ByteSpan(v.data(), v.size()); }

TEST(FrameInflate, StaysWithinTheLimitWhateverItDeclares) {
    const std::string text(200000, 't');  // past the first output buffer
    const std::vector<uint8_t> data = deflated(text);
    const std::vector<uint8_t> bomb = deflated(std::string(kMaxInflatedFrameSize + 1000, '\0'));
    ASSERT_LT(bomb.size(), 32u << 10);
    const std::vector<uint8_t> cut(data.begin(), data.end() - 5), junk(100, 0xAB);
    struct {
        const std::vector<uint8_t>& data;
        uint32_t declared;
        std::size_t limit;
        InflateStatus status;
        std::size_t size;
        bool differs;
    } const cases[] = {
        {data, 200000, kMaxInflatedFrameSize, S::kOk, 200000, false},
        {data, 300000, kMaxInflatedFrameSize, S::kOk, 200000, true},
        // Declared too small (taggers wrote such sizes): what the data holds.
        {data, 155, kMaxInflatedFrameSize, S::kOk, 200000, true},
        {data, 1u << 30, kMaxInflatedFrameSize, S::kOk, 200000, true},
        {data, 200000, 199999, S::kTooLarge, 0, false},
        {bomb, 1u << 30, kMaxInflatedFrameSize, S::kTooLarge, 0, false},
        {bomb, 100, kMaxInflatedFrameSize, S::kTooLarge, 0, false},
        {cut, 300000, kMaxInflatedFrameSize, S::kCorrupt, 0, false},
        {junk, 1000, kMaxInflatedFrameSize, S::kCorrupt, 0, false},
    };
    for (const auto& c : cases) {
        const InflatedFrame frame = inflate_frame(span(c.data), c.declared, c.limit);
        EXPECT_EQ(frame.status, c.status) << c.declared;
        EXPECT_EQ(frame.bytes.size(), c.size) << c.declared;
        EXPECT_EQ(frame.size_differs, c.differs) << c.declared;
    }
    std::vector<uint8_t> body = {0, 0x03, 0x0D, 0x40};  // version 2.3: 200000, then the data
    body.resize(4 + data.size());
    std::copy(data.begin(), data.end(), body.begin() + 4);
    EXPECT_EQ(inflate_v23_frame_body(span(body)).bytes, std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(inflate_v23_frame_body(span(body).first(3)).status, S::kCorrupt);
}

}  // namespace
