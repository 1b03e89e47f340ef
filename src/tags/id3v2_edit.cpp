// Reading an ID3v2 tag into an editable frame list, changing it, and
// writing it out again.
#include "tags/id3v2_edit.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/byte_source.h"
#include "frames/frame_codec.h"
#include "frames/frame_dates.h"
#include "frames/frame_table.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_header.h"

namespace velkor {

namespace {

using F = Id3v2FrameFlags;
using Kind = Id3v2FrameKind;

constexpr uint32_t kMaxSyncsafe = 0x0FFFFFFF;

// What tells frames of one id apart, read from a frame's content by the
// frame model's codec; known is false for content that cannot be read.
struct FrameKey {
    bool known = false;
    Id3v2FrameValues values;
};

FrameKey key_of(const Id3v2EditFrame& frame) {
    FrameKey key;
    if (frame.fresh) {
        key.known = true;
        key.values = frame.value;
        return key;
    }
    if (!frame.readable) return key;
    const ByteSpan c = ByteSpan(frame.stored.data(), frame.stored.size()).from(frame.content_at);
    key.known = true;
    // Kept frames are in the 2.3/2.4 layout (a 2.2 picture's format was
    // turned into a MIME type when it was read).
    key.values = decode_id3v2_frame(frame.id, c, 3);
    return key;
}

// Values joined by "; ", empty ones left out.
std::string joined(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& value : values) {
        if (value.empty()) continue;
        if (!out.empty()) out += "; ";
        out += value;
    }
    return out;
}

void put_be(std::vector<uint8_t>& out, uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put_size(std::vector<uint8_t>& out, uint32_t size, bool syncsafe) {
    if (syncsafe) size = (size & 0x7F) | (size & 0x3F80) << 1 | (size & 0x1FC000) << 2 | (size & 0xFE00000) << 3;
    put_be(out, size, 4);
}

bool same_described(const Id3v2EditFrame& frame, const Id3v2NewFrame& probe) {
    const FrameKey key = key_of(frame);
    return key.known && key.values.description == probe.description &&
           (probe.language.empty() || key.values.language == probe.language);
}
bool same_description(const Id3v2EditFrame& frame, const Id3v2NewFrame& probe) {
    const FrameKey key = key_of(frame);
    return key.known && key.values.description == probe.description;
}
bool same_owner(const Id3v2EditFrame& frame, const Id3v2NewFrame& probe) {
    const FrameKey key = key_of(frame);
    return key.known && key.values.owner == probe.owner;
}
bool same_picture(const Id3v2EditFrame& frame, const Id3v2NewFrame& probe) {
    const FrameKey key = key_of(frame);
    return key.known && key.values.picture_type == probe.picture_type &&
           key.values.description == probe.description;
}
bool same_type(const Id3v2EditFrame& frame, const Id3v2NewFrame& probe) {
    const FrameKey key = key_of(frame);
    return key.known && key.values.picture_type == probe.picture_type;
}
bool any_frame(const Id3v2EditFrame&, const Id3v2NewFrame&) { return true; }

// The status and format flags of a frame kept as stored, in the other
// version's layout: 2.3 %abc00000 ijk00000, 2.4 %0abc0000 0h00kmnp. Only
// the status flags and grouping survive a conversion (the content was
// inflated and resynchronised when it was read).
uint16_t converted_flags(uint16_t flags, int from, int to) {
    if (from == to) return flags;
    uint16_t out = 0;
    if (from == 3) {
        out = static_cast<uint16_t>((flags & 0xE000) >> 1);
        if (flags & F::kV23Grouped) out |= F::kV24Grouped;
    } else {
        out = static_cast<uint16_t>((flags & 0x7000) << 1);
        if (flags & F::kV24Grouped) out |= F::kV23Grouped;
    }
    return out;
}

bool all_digits(const std::string& text, std::size_t count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A 2.4 genre list as the one 2.3 text: references in parentheses first,
// then the names, "/"-joined ("51", "39", "Power Noise": "(51)(39)Power Noise").
std::string v23_genre(const std::vector<std::string>& values) {
    std::string references, names;
    for (const std::string& value : values) {
        if ((!value.empty() && value.size() <= 3 && all_digits(value, value.size())) || value == "RX" ||
            value == "CR") {
            references += "(" + value + ")";
        } else if (!value.empty()) {
            if (!names.empty()) names += "/";
            names += value[0] == '(' ? "(" + value : value;  // "(" escaped as "(("
        }
    }
    return references + names;
}

// A 2.3 genre text as 2.4 values: each reference a value of its own.
std::vector<std::string> v24_genres(const std::vector<std::string>& values) {
    std::vector<std::string> out;
    for (const std::string& value : values) {
        std::string_view part(value);
        while (part.size() > 1 && part[0] == '(' && part[1] != '(') {
            const std::size_t close = part.find(')');
            if (close == std::string_view::npos) break;
            const std::string_view inner = part.substr(1, close - 1);
            if (!(inner == "RX" || inner == "CR" ||
                  (!inner.empty() && inner.size() <= 3 && all_digits(std::string(inner), inner.size())))) {
                break;
            }
            out.emplace_back(inner);
            part.remove_prefix(close + 1);
        }
        if (part.size() > 1 && part[0] == '(' && part[1] == '(') part.remove_prefix(1);
        if (!part.empty()) out.emplace_back(part);
    }
    return out;
}

Id3v2EditFrame fresh_frame(const char* id, Id3v2FrameValues values) {
    Id3v2EditFrame frame;
    std::memcpy(frame.id, id, 4);
    frame.fresh = true;
    values.kind = id3v2_frame_kind(id);
    frame.value = std::move(values);
    return frame;
}

Id3v2EditFrame text_frame(const char* id, std::string text) {
    Id3v2FrameValues values;
    values.values.push_back(std::move(text));
    return fresh_frame(id, std::move(values));
}

}  // namespace

void Id3v2Edit::convert_to(int version) {
    if (version != 3 && version != 4) return;
    target_ = version;
    // A 2.2 tag's frames were read into the 2.3 layout.
    const int from = version_ == 4 ? 4 : 3;
    if (from == version || removed_ || frames_.empty()) return;
    edited_ = true;

    // Every frame's values (what can be read), looked up once.
    std::vector<Id3v2FrameValues> values(frames_.size());
    std::vector<bool> known(frames_.size(), false);
    std::string day_month, time;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        const Id3v2EditFrame& frame = frames_[i];
        if (frame.fresh) {
            values[i] = frame.value;
            known[i] = true;
        } else if (frame.readable) {
            const ByteSpan c = ByteSpan(frame.stored.data(), frame.stored.size()).from(frame.content_at);
            values[i] = decode_id3v2_frame(frame.id, c, from, true);
            known[i] = true;
        }
        if (!known[i] || values[i].values.empty()) continue;
        if (std::strcmp(frame.id, "TDAT") == 0) day_month = values[i].values[0];
        if (std::strcmp(frame.id, "TIME") == 0) time = values[i].values[0];
    }

    std::vector<Id3v2EditFrame> out;
    bool people_placed = false;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        Id3v2EditFrame& frame = frames_[i];
        const std::string id = frame.id;
        if (!known[i]) {
            ++dropped_;  // encrypted, or stored in a way not undone
            continue;
        }
        Id3v2FrameValues& v = values[i];
        const std::string first = v.values.empty() ? std::string() : v.values[0];
        if (version == 3) {
            if (id == "TDRC") {
                // "2004-05-01T12:20": the year, then DDMM and HHMM where given.
                std::string parts[5];
                if (!split_id3v2_date(first, parts)) parts[0] = first.substr(0, 4);
                if (!parts[0].empty()) out.push_back(text_frame("TYER", parts[0]));
                if (!parts[2].empty()) out.push_back(text_frame("TDAT", parts[2] + parts[1]));
                if (!parts[4].empty()) out.push_back(text_frame("TIME", parts[3] + parts[4]));
                continue;
            }
            if (id == "TDOR") {
                if (first.size() >= 4) out.push_back(text_frame("TORY", first.substr(0, 4)));
                continue;
            }
            if (id == "TIPL" || id == "TMCL") {
                if (people_placed) continue;
                // One IPLS holds both lists' pairs, the involved people's first.
                Id3v2FrameValues people;
                for (const char* list : {"TIPL", "TMCL"}) {
                    for (std::size_t j = i; j < frames_.size(); ++j) {
                        if (!known[j] || std::strcmp(frames_[j].id, list) != 0) continue;
                        people.values.insert(people.values.end(), values[j].values.begin(), values[j].values.end());
                    }
                }
                out.push_back(fresh_frame("IPLS", std::move(people)));
                people_placed = true;
                continue;
            }
            if (id == "TCON") {
                out.push_back(text_frame("TCON", v23_genre(v.values)));
                continue;
            }
        } else {
            if (id == "TYER") {
                // The reader's date: the first year with TDAT and TIME.
                out.push_back(text_frame("TDRC", id3v2_date_of(first, day_month, time)));
                continue;
            }
            if (id == "TDAT" || id == "TIME") continue;  // in TDRC now
            if (id == "TORY") {
                out.push_back(text_frame("TDOR", first));
                continue;
            }
            if (id == "IPLS") {
                out.push_back(fresh_frame("TIPL", std::move(v)));
                continue;
            }
            if (id == "TCON") {
                Id3v2FrameValues genres;
                genres.values = v24_genres(v.values);
                out.push_back(fresh_frame("TCON", std::move(genres)));
                continue;
            }
        }
        // A frame the version has no form of goes; unknown ids stay.
        const Id3v2FrameRow* row = id3v2_frame_row(frame.id, from);
        if (row != nullptr && *row->id(version) == '\0') {
            ++dropped_;
            continue;
        }
        const Id3v2FrameKind kind = id3v2_frame_kind(frame.id);
        const bool has_texts = kind == Id3v2FrameKind::kText || kind == Id3v2FrameKind::kPeople ||
                               kind == Id3v2FrameKind::kUserText || kind == Id3v2FrameKind::kComment ||
                               kind == Id3v2FrameKind::kLyrics || kind == Id3v2FrameKind::kUserUrl ||
                               kind == Id3v2FrameKind::kPicture;
        if (frame.fresh || has_texts) {
            // Written again from its values: encodings and separators of
            // the version.
            out.push_back(fresh_frame(frame.id, std::move(v)));
        } else {
            // No texts to encode again: kept as stored.
            frame.flags = converted_flags(frame.flags, from, version);
            out.push_back(std::move(frame));
        }
    }
    frames_ = std::move(out);
}

Id3v2Edit::Id3v2Edit(ByteSpan tag) {
    Id3v2Header header;
    if (!parse_id3v2_header(tag, header)) return;
    version_ = header.version;
    room_ = std::min<int64_t>(header.end(), static_cast<int64_t>(tag.size));
    read_frames(tag);
}

void Id3v2Edit::read_frames(ByteSpan tag) {
    Id3v2Header header;
    parse_id3v2_header(tag, header);
    SpanSource source(tag);
    Id3v2FrameWalk walk(source, header, std::min<int64_t>(header.tag_size(), static_cast<int64_t>(tag.size)));
    Id3v2Frame frame;
    TagCursor body;
    while (walk.next(frame, body)) {
        Id3v2EditFrame kept;
        if (frame.version == 2) {
            const char* id = id3v2_v24_id(frame.id);
            if (*id == 0) {
                ++dropped_;
                continue;
            }
            std::memcpy(kept.id, id, 4);
        } else {
            std::memcpy(kept.id, frame.id, 4);
        }
        if (!is_frame_id(kept.id, 4)) {
            ++dropped_;
            continue;
        }
        const Id3v2BodyLayout layout = id3v2_body_layout(frame);
        kept.flags = frame.flags;
        const bool transform = (layout.compressed || layout.unsynchronised) && !layout.encrypted;
        bool done = false;
        if (transform) {
            Id3v2FrameContent content(source, frame, body);
            if (content.ok()) {
                // Written plain: the group byte stays, sizes and flags of
                // compression and unsynchronisation go.
                const bool grouped = frame.flags & (frame.version == 3 ? F::kV23Grouped : F::kV24Grouped);
                if (grouped) {
                    TagCursor prefix = body;
                    uint8_t bytes[6] = {};
                    prefix.read(bytes, layout.prefix);
                    kept.stored.push_back(bytes[frame.version == 3 ? layout.prefix - 1 : 0]);
                }
                kept.content_at = kept.stored.size();
                TagCursor& plain = content.cursor();
                const std::size_t at = kept.stored.size();
                kept.stored.resize(at + plain.left());
                plain.read(kept.stored.data() + at, kept.stored.size() - at);
                kept.flags &= frame.version == 3
                                  ? static_cast<uint16_t>(~F::kV23Compressed)
                                  : static_cast<uint16_t>(~(F::kV24Compressed | F::kV24Unsynchronised |
                                                            F::kV24DataLength));
                kept.readable = true;
                done = true;
            }
        }
        if (!done) {
            // As stored (the tag's own unsynchronisation of 2.2 and 2.3
            // undone by the walk); a 2.4 frame the tag's flag unsynchronised
            // says so itself now.
            kept.stored.resize(body.left());
            body.read(kept.stored.data(), kept.stored.size());
            kept.content_at = std::min(layout.prefix, kept.stored.size());
            kept.readable = !layout.encrypted && !layout.compressed && !layout.unsynchronised;
            if (frame.version == 4 && layout.unsynchronised) kept.flags |= F::kV24Unsynchronised;
        }
        if (frame.version == 2 && std::strcmp(kept.id, "APIC") == 0 && kept.stored.size() >= 4) {
            // The image format of three letters becomes a MIME type.
            const std::string format(reinterpret_cast<const char*>(kept.stored.data() + 1), 3);
            const std::string mime = picture_mime_of_format(format);
            std::vector<uint8_t> converted{kept.stored[0]};
            converted.insert(converted.end(), mime.begin(), mime.end());
            converted.push_back(0);
            converted.insert(converted.end(), kept.stored.begin() + 4, kept.stored.end());
            kept.stored.swap(converted);
        }
        if (kept.stored.empty()) continue;  // nothing left to write
        frames_.push_back(std::move(kept));
    }
    dropped_ += walk.skipped();
}

void Id3v2Edit::replace(const char* id, Id3v2NewFrame value, bool put,
                        bool (*same)(const Id3v2EditFrame&, const Id3v2NewFrame&)) {
    edited_ = true;
    touched_.insert(id);
    // The new frame takes the place of the first it replaces.
    bool placed = !put;
    std::size_t kept = 0;
    Id3v2EditFrame fresh;
    std::memcpy(fresh.id, id, 4);
    fresh.fresh = true;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        const bool match = std::strcmp(frames_[i].id, id) == 0 && same(frames_[i], value);
        if (match && !placed) {
            fresh.value = std::move(value);
            frames_[kept++] = std::move(fresh);
            placed = true;
        } else if (!match) {
            if (kept != i) frames_[kept] = std::move(frames_[i]);
            ++kept;
        }
    }
    frames_.resize(kept);
    if (!placed) {
        fresh.value = std::move(value);
        frames_.push_back(std::move(fresh));
    }
}

void Id3v2Edit::set_text(const char* id, const std::vector<std::string>& values) {
    Id3v2NewFrame value;
    value.kind = id3v2_frame_kind(id);
    value.values = values;
    replace(id, std::move(value), !values.empty(), any_frame);
}

void Id3v2Edit::set_user_text(const std::string& description, const std::vector<std::string>& values) {
    Id3v2NewFrame value;
    value.kind = Kind::kUserText;
    value.description = description;
    value.values = values;
    replace("TXXX", std::move(value), !values.empty(), same_description);
}

void Id3v2Edit::set_described_text(const char* id, const std::string& language, const std::string& description,
                                   const std::string* text) {
    Id3v2NewFrame value;
    value.kind = std::strcmp(id, "USLT") == 0 ? Kind::kLyrics : Kind::kComment;
    value.language = language;
    value.description = description;
    if (text) value.values.push_back(*text);
    replace(id, std::move(value), text != nullptr, same_described);
}

void Id3v2Edit::set_url(const char* id, const std::string& description, const std::string* url) {
    Id3v2NewFrame value;
    const bool user = std::strcmp(id, "WXXX") == 0;
    value.kind = user ? Kind::kUserUrl : Kind::kUrl;
    value.description = description;
    const bool remove = url == nullptr || url->empty();
    if (!remove) value.values.push_back(*url);
    replace(id, std::move(value), !remove, user ? same_description : any_frame);
}

void Id3v2Edit::add_picture(int32_t type, const std::string& mime, const std::string& description,
                            std::vector<uint8_t> data) {
    Id3v2NewFrame value;
    value.kind = Kind::kPicture;
    value.picture_type = type;
    value.values.push_back(mime);
    value.description = description;
    value.data = std::move(data);
    replace("APIC", std::move(value), true, same_picture);
}

void Id3v2Edit::remove_pictures(int32_t type) {
    Id3v2NewFrame probe;
    probe.picture_type = type;
    replace("APIC", std::move(probe), false, type < 0 ? any_frame : same_type);
}

void Id3v2Edit::set_popularimeter(const std::string& email, int32_t rating, int64_t play_count) {
    Id3v2NewFrame value;
    value.kind = Kind::kPopularimeter;
    value.owner = email;
    value.rating = rating;
    value.play_count = play_count;
    replace("POPM", std::move(value), rating >= 0, same_owner);
}

void Id3v2Edit::remove_frames(const char* id) { replace(id, Id3v2NewFrame(), false, any_frame); }

void Id3v2Edit::remove_all() {
    edited_ = true;
    removed_ = true;
    for (const Id3v2EditFrame& frame : frames_) touched_.insert(frame.id);
    frames_.clear();
}

std::string Id3v2Edit::text(const char* id) const {
    for (const Id3v2EditFrame& frame : frames_) {
        if (std::strcmp(frame.id, id) != 0) continue;
        const FrameKey key = key_of(frame);
        return key.known ? joined(key.values.values) : std::string();
    }
    return std::string();
}

std::string Id3v2Edit::comment() const {
    const Id3v2EditFrame* chosen = nullptr;
    for (const Id3v2EditFrame& frame : frames_) {
        if (std::strcmp(frame.id, "COMM") != 0) continue;
        const FrameKey key = key_of(frame);
        if (!key.known) continue;
        if (chosen == nullptr) chosen = &frame;
        if (key.values.description.empty()) {
            chosen = &frame;
            break;
        }
    }
    if (chosen == nullptr) return std::string();
    if (chosen->fresh) return chosen->value.values.empty() ? std::string() : chosen->value.values[0];
    return joined(key_of(*chosen).values.values);
}

Id3v2Written Id3v2Edit::write(bool new_as_v24) const {
    Id3v2Written written;
    if (frames_.empty()) return written;
    const int version = written_version(new_as_v24);
    written.version = version;
    std::vector<uint8_t>& out = written.bytes;
    out.assign(Id3v2Header::kSize, 0);
    for (const Id3v2EditFrame& frame : frames_) {
        std::vector<uint8_t> built;
        if (frame.fresh) built = encode_id3v2_frame(frame.value, version);
        const std::vector<uint8_t>& body = frame.fresh ? built : frame.stored;
        if (body.empty()) continue;
        if (body.size() > kMaxSyncsafe || out.size() + body.size() + 10 > kMaxSyncsafe) {
            written = Id3v2Written();
            written.too_large = true;
            return written;
        }
        out.insert(out.end(), frame.id, frame.id + 4);
        put_size(out, static_cast<uint32_t>(body.size()), version == 4);
        // The flags of a frame read from a 2.2 tag are none.
        const uint16_t flags = frame.fresh ? 0 : frame.flags;
        put_be(out, flags, 2);
        out.insert(out.end(), body.begin(), body.end());
    }
    const std::size_t frames_size = out.size() - Id3v2Header::kSize;
    std::size_t total = out.size();
    if (room_ > 0 && static_cast<int64_t>(total) <= room_ && room_ <= static_cast<int64_t>(kMaxSyncsafe)) {
        total = static_cast<std::size_t>(room_);
    } else {
        total += std::min(kMinPadding + frames_size / 16, kMaxPadding);
        total = std::min<std::size_t>(total, kMaxSyncsafe + Id3v2Header::kSize);
    }
    out.resize(total, 0);
    const uint8_t head[6] = {'I', 'D', '3', static_cast<uint8_t>(version), 0, 0};
    std::memcpy(out.data(), head, 6);
    std::vector<uint8_t> size;
    put_size(size, static_cast<uint32_t>(total - Id3v2Header::kSize), true);
    std::memcpy(out.data() + 6, size.data(), 4);
    return written;
}

}  // namespace velkor
