// The APE tag: footer, optional header, and the items between them.
#include "tags/apev2_tag.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "base/utf8.h"

namespace velkor {

namespace {

constexpr char kPreamble[] = "APETAGEX";
constexpr std::size_t kPreambleSize = 8;
constexpr uint32_t kHasHeader = 0x80000000u;
constexpr uint32_t kIsHeader = 0x20000000u;
constexpr uint32_t kReadOnly = 0x1;
constexpr std::size_t kItemHeaderSize = 8;  // value size, flags
constexpr std::size_t kMinKey = 2;
constexpr std::size_t kMaxKey = 255;

bool has_preamble(ByteSpan bytes) {
    return bytes.size >= kPreambleSize && std::memcmp(bytes.data, kPreamble, kPreambleSize) == 0;
}

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The key at the start of bytes, ended by a zero byte; empty when it breaks
// the rules, which leaves nothing behind it to trust.
std::string_view item_key(ByteSpan bytes) {
    const std::size_t limit = std::min(bytes.size, kMaxKey + 1);
    std::size_t n = 0;
    while (n < limit && bytes.data[n] != 0) {
        if (bytes.data[n] < 0x20 || bytes.data[n] > 0x7E) return {};
        ++n;
    }
    if (n == limit || n < kMinKey) return {};
    return std::string_view(reinterpret_cast<const char*>(bytes.data), n);
}

// The value split at zero bytes, each piece made valid UTF-8.
std::vector<std::string> text_values(ByteSpan value, bool& cut) {
    std::vector<std::string> values(1);
    for (std::size_t i = 0; i < value.size;) {
        if (value.data[i] == 0) {
            if (values.size() == Apev2Tag::kMaxValues) {
                cut = true;
                break;
            }
            values.emplace_back();
            ++i;
            continue;
        }
        uint32_t code_point = 0;
        const std::size_t n = next_utf8(value, i, code_point);
        append_utf8(n > 0 ? code_point : kReplacementCharacter, values.back());
        i += n > 0 ? n : 1;
    }
    return values;
}

void read_items(ByteSource& source, Apev2Tag& tag, uint32_t count) {
    const auto block_size = static_cast<int64_t>(Apev2Tag::kFooterSize);  // header or footer
    const int64_t items_end = tag.end - block_size;
    int64_t pos = tag.begin + (tag.has_header ? block_size : 0);
    std::size_t text_left = Apev2Tag::kMaxKeptText;
    for (uint32_t i = 0; i < count; ++i) {
        if (pos >= items_end || tag.items.size() == Apev2Tag::kMaxItems) {
            tag.damaged = true;
            return;
        }
        const auto room = static_cast<std::size_t>(items_end - pos);
        const ByteSpan head = source.bytes(pos, std::min(room, kItemHeaderSize + kMaxKey + 1));
        const std::string_view key = item_key(head.from(kItemHeaderSize));
        const uint32_t size = little_endian32(head, 0);
        const uint32_t flags = little_endian32(head, 4);
        const std::size_t value_at = kItemHeaderSize + key.size() + 1;
        if (key.empty() || size > room - value_at) {
            tag.damaged = true;
            return;
        }
        Apev2Item item;
        item.key = std::string(key);
        if (tag.version >= 2000) {
            item.kind = static_cast<Apev2Item::Kind>((flags >> 1) & 3);
            item.read_only = (flags & kReadOnly) != 0;
        }
        item.value_offset = pos + static_cast<int64_t>(value_at);
        item.value_size = size;
        if (item.kind == Apev2Item::Kind::kText || item.kind == Apev2Item::Kind::kExternal) {
            const std::size_t wanted = std::min<std::size_t>(size, Apev2Tag::kMaxValueSize);
            const std::size_t taken = std::min(wanted, text_left);
            text_left -= taken;
            item.cut = taken < size;
            item.values = text_values(source.bytes(item.value_offset, taken), item.cut);
        }
        tag.items.push_back(std::move(item));
        pos += static_cast<int64_t>(value_at) + size;
    }
}

// Whether the items from `pos` on run up to items_end as their sizes say:
// each of the first `count` items (at most kMaxItems are looked at) has a
// key ended within kMaxKey + 1 bytes and a value that ends by items_end.
// Bytes left behind the counted items are allowed (a count too low), and
// so is reaching items_end before the count (a count too high); an item
// cut by items_end is not, as then the tag's size and its items disagree.
bool item_sizes_fit(ByteSource& source, int64_t pos, int64_t items_end, uint32_t count) {
    for (uint32_t i = 0; i < count && i < Apev2Tag::kMaxItems && pos < items_end; ++i) {
        const auto room = static_cast<std::size_t>(items_end - pos);
        const ByteSpan head = source.bytes(pos, std::min(room, kItemHeaderSize + kMaxKey + 1));
        if (head.size < kItemHeaderSize + 1) return false;
        const uint32_t size = little_endian32(head, 0);
        const ByteSpan key = head.from(kItemHeaderSize);
        const void* zero = std::memchr(key.data, 0, key.size);
        if (zero == nullptr) return false;
        const std::size_t value_at =
            kItemHeaderSize + static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - key.data) + 1;
        if (size > room - value_at) return false;
        pos += static_cast<int64_t>(value_at) + size;
    }
    return true;
}

Apev2Tag locate(ByteSource& source, int64_t end, int64_t floor, uint32_t& count) {
    Apev2Tag tag;
    const auto footer_size = static_cast<int64_t>(Apev2Tag::kFooterSize);
    if (end - floor < footer_size) return tag;
    const ByteSpan footer = source.bytes(end - footer_size, Apev2Tag::kFooterSize);
    if (footer.size < Apev2Tag::kFooterSize || !has_preamble(footer)) return tag;
    const uint32_t version = little_endian32(footer, 8);
    const uint32_t size = little_endian32(footer, 12);  // items and footer
    const uint32_t flags = version == 2000 ? little_endian32(footer, 20) : 0;
    if ((version != 1000 && version != 2000) || (flags & kIsHeader) != 0) return tag;
    if (size < Apev2Tag::kFooterSize || size > end - floor) return tag;

    const uint32_t items = little_endian32(footer, 16);

    const int64_t items_begin = end - size;
    int64_t begin = items_begin;
    bool has_header = false;
    if ((flags & kHasHeader) != 0 && items_begin - floor >= footer_size) {
        const ByteSpan header = source.bytes(items_begin - footer_size, Apev2Tag::kFooterSize);
        if (has_preamble(header) && (little_endian32(header, 20) & kIsHeader) != 0) {
            // A header that tells another tag than the footer: one of them
            // lies, and neither can be trusted with the tag's extent.
            if (little_endian32(header, 8) != version || little_endian32(header, 12) != size ||
                little_endian32(header, 16) != items) {
                return tag;
            }
            has_header = true;
            begin = items_begin - footer_size;
        }
    }
    if (!item_sizes_fit(source, items_begin, end - footer_size, items)) return tag;
    tag.begin = begin;
    tag.has_header = has_header;
    tag.version = static_cast<int32_t>(version);
    tag.end = end;
    tag.read_only = (flags & kReadOnly) != 0;
    count = items;
    return tag;
}

}  // namespace

const Apev2Item* Apev2Tag::find(std::string_view key) const {
    for (const Apev2Item& item : items) {
        if (item.key.size() == key.size() &&
            std::equal(key.begin(), key.end(), item.key.begin(),
                       [](char a, char b) { return lower_ascii(a) == lower_ascii(b); })) {
            return &item;
        }
    }
    return nullptr;
}

Apev2Tag locate_apev2_tag(ByteSource& source, int64_t end, int64_t floor) {
    uint32_t count = 0;
    return locate(source, end, floor, count);
}

Apev2Tag read_apev2_tag(ByteSource& source, int64_t end, int64_t floor) {
    uint32_t count = 0;
    Apev2Tag tag = locate(source, end, floor, count);
    if (tag.version != 0) read_items(source, tag, count);
    return tag;
}

}  // namespace velkor
