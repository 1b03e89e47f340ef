// Compressed frame bodies inflated within what they declare, zip bombs
// included.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "tags/frame_inflate.h"

namespace {

using namespace velkor;

std::vector<uint8_t> deflated(const std::string& text) {
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(text.size())));
    uLongf size = static_cast<uLongf>(out.size());
    compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()));
    out.resize(size);
    return out;
}

ByteSpan span(const std::vector<uint8_t>& v) { return ByteSpan(v.data(), v.size()); }

TEST(FrameInflate, StaysWithinTheDeclaredSize) {
    const std::string text = "\x03Title of the song, title of the song";
    const std::vector<uint8_t> data = deflated(text);
    const std::vector<uint8_t> bomb = deflated(std::string(kMaxInflatedFrameSize + 1000, '\0'));
    const std::vector<uint8_t> cut(data.begin(), data.end() - 5);
    struct Case {
        const char* name;
        const std::vector<uint8_t>& data;
        uint32_t declared;
        InflateStatus status;
        std::size_t size;
    } const cases[] = {
        {"exact", data, static_cast<uint32_t>(text.size()), InflateStatus::kOk, text.size()},
        {"declared larger", data, 1000, InflateStatus::kOk, text.size()},
        {"declared smaller", data, 10, InflateStatus::kTooLarge, 0},
        {"bomb claiming 1 GiB", bomb, 1u << 30, InflateStatus::kTooLarge, 0},
        {"bomb claiming the cap", bomb, kMaxInflatedFrameSize, InflateStatus::kTooLarge, 0},
        {"stream cut short", cut, 1000, InflateStatus::kCorrupt, 0},
        {"not zlib", std::vector<uint8_t>(100, 0xAB), 1000, InflateStatus::kCorrupt, 0},
        {"empty", std::vector<uint8_t>(), 1000, InflateStatus::kCorrupt, 0},
    };
    for (const Case& c : cases) {
        const InflatedFrame frame = inflate_frame(span(c.data), c.declared);
        EXPECT_EQ(frame.status, c.status) << c.name;
        EXPECT_EQ(frame.bytes.size(), c.size) << c.name;
    }
    EXPECT_LT(bomb.size(), 32u << 10);
}

TEST(FrameInflate, Version23BodyCarriesItsSize) {
    const std::string text(200000, 'a');  // past the first output buffer
    const std::vector<uint8_t> data = deflated(text);
    std::vector<uint8_t> body = {0, 0x03, 0x0D, 0x40};
    body.insert(body.end(), data.begin(), data.end());
    const InflatedFrame frame = inflate_v23_frame_body(span(body));
    ASSERT_EQ(frame.status, InflateStatus::kOk);
    EXPECT_EQ(std::string(frame.bytes.begin(), frame.bytes.end()), text);
    body[0] = 0x40;  // 1 GiB
    EXPECT_EQ(inflate_v23_frame_body(span(body)).status, InflateStatus::kTooLarge);
    EXPECT_EQ(inflate_v23_frame_body(span(body).first(3)).status, InflateStatus::kCorrupt);
}

}  // namespace
