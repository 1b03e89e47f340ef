// Bytes fetched by offset when they are needed: lets a reader walk a
// structure it does not hold whole, such as an ID3v2 tag whose pictures it
// skips by offset. The reader stays free of any file access; the one who
// owns the bytes decides where they come from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_span.h"

namespace velkor {

class ByteSource {
public:
    // The bytes at [offset, offset + n), fewer where the source ends. The
    // span stays valid until the next call.
    virtual ByteSpan bytes(int64_t offset, std::size_t n) = 0;

    // Copies up to n bytes at offset into dest, fewer where the source ends;
    // returns how many. A source that fetches its bytes from elsewhere
    // fetches them straight into dest.
    virtual std::size_t read(int64_t offset, uint8_t* dest, std::size_t n) {
        const ByteSpan got = bytes(offset, n);
        if (got.size > 0) std::memcpy(dest, got.data, got.size);
        return got.size;
    }

    // Says that [offset, offset + n) will be read soon: a source that
    // fetches its bytes from elsewhere may start fetching them now, beside
    // what it is reading. Nothing by default.
    virtual void will_read(int64_t offset, std::size_t n) {
        (void)offset;
        (void)n;
    }
    // Says whether the reads from now on are small and far apart (a source
    // that fetches ahead of each read may stop doing so) or go on in order.
    // Nothing by default.
    virtual void reads_apart(bool apart) { (void)apart; }

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
