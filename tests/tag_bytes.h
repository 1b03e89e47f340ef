// Byte builders shared by the tests of the tags at a file's end and of
// other formats' signatures.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_source.h"

namespace velkor::testing {

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
inline SpanSource source_of(const std::string& bytes) {
    return SpanSource(ByteSpan(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace velkor::testing
