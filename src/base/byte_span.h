// A read-only view of bytes: what every decoder in the library parses from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

struct ByteSpan {
    const uint8_t* data = nullptr;
    std::size_t size = 0;

    constexpr ByteSpan() = default;
    constexpr ByteSpan(const uint8_t* d, std::size_t n) : data(d), size(n) {}

    // The byte at i, or 0 past the end: reads never leave the span.
    constexpr uint8_t at(std::size_t i) const { return i < size ? data[i] : 0; }

    // The bytes from offset on (empty when offset is past the end).
    constexpr ByteSpan from(std::size_t offset) const {
        return offset < size ? ByteSpan(data + offset, size - offset) : ByteSpan();
    }
    // At most n bytes from the start.
    constexpr ByteSpan first(std::size_t n) const {
        return ByteSpan(data, n < size ? n : size);
    }
};

}  // namespace velkor
