// Bytes fetched by offset when they are needed: lets a reader walk a
// structure it does not hold whole, such as an ID3v2 tag whose pictures it
// skips by offset. The reader stays free of any file access; the one who
// owns the bytes decides where they come from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"

namespace velkor {

class ByteSource {
public:
    // The bytes at [offset, offset + n), fewer where the source ends. The
    // span stays valid until the next call.
    virtual ByteSpan bytes(int64_t offset, std::size_t n) = 0;

protected:
    ~ByteSource() = default;
};

// A source over bytes already in memory.
class SpanSource final : public ByteSource {
public:
    explicit SpanSource(ByteSpan all) : all_(all) {}
    ByteSpan bytes(int64_t offset, std::size_t n) override {
        return offset < 0 ? ByteSpan() : all_.from(static_cast<std::size_t>(offset)).first(n);
    }

private:
    ByteSpan all_;
};

}  // namespace velkor
