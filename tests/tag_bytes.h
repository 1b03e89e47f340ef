// Byte builders, as strings, shared by the tag tests: ID3v2 frames and
// tags, zlib data, APE tags, ID3v1 and Lyrics3 blocks.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_source.h"

namespace velkor::testing {

// v in `width` big-endian bytes.
inline std::string be(uint32_t v, int width) {
    std::string out;
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
    return out;
}
inline std::string syncsafe(uint32_t v) {
    return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}
// A frame of ID3v2.2 (3-byte size, no flags), 2.3 (4-byte size) or 2.4
// (syncsafe size).
inline std::string id3v2_frame(int version, const std::string& id, const std::string& body, uint16_t flags = 0) {
    const auto size = static_cast<uint32_t>(body.size());
    if (version == 2) return id + be(size, 3) + body;
    return id + (version == 4 ? syncsafe(size) : be(size, 4)) + be(flags, 2) + body;
}
// The tag header, the frames, then `padding` zero bytes.
inline std::string id3v2_tag(int version, const std::string& frames, std::size_t padding = 0, uint8_t flags = 0) {
    return std::string("ID3") + char(version) + '\0' + char(flags) +
           syncsafe(static_cast<uint32_t>(frames.size() + padding)) + frames + std::string(padding, '\0');
}
// The bytes as zlib data, as compressed frames hold them.
inline std::string deflated(const std::string& bytes) {
    std::string out(compressBound(static_cast<uLong>(bytes.size())), '\0');
    uLongf size = static_cast<uLongf>(out.size());
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
             static_cast<uLong>(bytes.size()));
    out.resize(size);
    return out;
}
inline ByteSpan span(const std::string& s) { return ByteSpan(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

inline std::string le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}
inline std::string ape_item(const std::string& key, const std::string& value, uint32_t flags = 0) {
    return le32(static_cast<uint32_t>(value.size())) + le32(flags) + key + '\0' + value;
}
// A version 2000 APE tag around items; size 0 stands for the true size.
inline std::string ape_tag(const std::string& items, uint32_t count, bool header = true, uint32_t size = 0) {
    if (size == 0) size = static_cast<uint32_t>(items.size() + 32);
    auto block = [&](uint32_t flags) {
        return "APETAGEX" + le32(2000) + le32(size) + le32(count) + le32(flags) + std::string(8, '\0');
    };
    return (header ? block(0xA0000000) : "") + items + block(header ? 0x80000000 : 0);
}
inline std::string id3v1_tag() { return "TAG" + std::string(125, 'x'); }
inline std::string lyrics3v2(const std::string& fields) {
    const std::string digits = std::to_string(11 + fields.size());
    return "LYRICSBEGIN" + fields + std::string(6 - digits.size(), '0') + digits + "LYRICS200";
}
inline SpanSource source_of(const std::string& bytes) { return SpanSource(span(bytes)); }

}  // namespace velkor::testing
