// The APE tag (versions 1000 and 2000) at the end of an MPEG audio file:
// where it stands and its items. Text values are kept; binary values are
// described by offset and size and fetched only on request.
//
// Memory: at most kMaxItems items, keys of at most 255 bytes, and at most
// kMaxKeptText bytes of text values read in all (each value cut at
// kMaxValueSize, at most kMaxValues values an item); the repair of invalid
// UTF-8 at most triples what is read. Whatever the footer's item count and
// the items' sizes say, no byte outside the tag is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "base/byte_span.h"

namespace velkor {

struct Apev2Item {
    enum class Kind : uint8_t { kText = 0, kBinary = 1, kExternal = 2, kReserved = 3 };

    std::string key;  // as stored: printable ASCII, 2 to 255 characters
    Kind kind = Kind::kText;
    bool read_only = false;
    // The values of a text or external item, split at zero bytes, in UTF-8
    // (invalid bytes replaced by U+FFFD); empty for the other kinds.
    std::vector<std::string> values;
    bool cut = false;  // only the value's start was read, or values were left out
    int64_t value_offset = 0;  // where the value stands in the source
    uint32_t value_size = 0;   // its size as stored
};

struct Apev2Tag {
    static constexpr std::size_t kFooterSize = 32;  // the header's size too
    static constexpr std::size_t kMaxItems = 4096;
    static constexpr std::size_t kMaxValueSize = std::size_t{1} << 20;
    static constexpr std::size_t kMaxKeptText = std::size_t{16} << 20;
    static constexpr std::size_t kMaxValues = 4096;  // of one item: the rest are left out (cut)

    int32_t version = 0;  // 1000 or 2000; 0 when there is no tag
    int64_t begin = 0;    // the tag's first byte, the header's if it has one
    int64_t end = 0;      // behind the footer
    bool has_header = false;
    bool read_only = false;
    std::vector<Apev2Item> items;
    // The items stopped before the count said: a bad key, a value past the
    // tag's end, fewer items than counted, or more than kMaxItems.
    bool damaged = false;

    // The first item whose key matches, ignoring ASCII case; nullptr if none.
    const Apev2Item* find(std::string_view key) const;
};

// The tag whose footer ends at `end`, if the tag starts no earlier than
// `floor`; version 0 when there is none. A tag is there only when its
// header (where one stands) tells the footer's version, size and item
// count, and its items' sizes fit the size (no item runs past the footer,
// every key ends): bytes that merely look like a footer are no tag. Items
// are walked by their sizes (at most kMaxItems), not read.
Apev2Tag locate_apev2_tag(ByteSource& source, int64_t end, int64_t floor = 0);

// The same tag with its items.
Apev2Tag read_apev2_tag(ByteSource& source, int64_t end, int64_t floor = 0);

}  // namespace velkor
